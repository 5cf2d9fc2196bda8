#pragma once

#include <string>

namespace testing_support {

// A pseudo-terminal whose master end the test holds: the slave path stands in for a
// serial port, and the master plays the device on the other end of the line.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slave_path; }
    void WriteFromDevice(const std::string& bytes);
    std::string ReadAtDevice(std::size_t count, int timeout_ms = 2000);
    void CloseMaster();

private:
    int m_master = -1;
    std::string m_slave_path;
};

}  // namespace testing_support
