#include "saved_file_test.h"

#include <optional>

namespace {

using files::SaveProblem;

// A file is replaced, a folder refused unopened, a missing folder named with the system's
// reason; no temporary file stays.
TEST_F(SavedFileTest, TargetIsReplacedWholeOrRefusedWithItsReason) {
    std::ofstream(In("old.txt")) << "the old content, longer than the new";
    std::filesystem::create_directories(In("folder"));
    const std::pair<const char*, std::optional<SaveProblem>> cases[] = {
        {"new.txt", std::nullopt},
        {"old.txt", std::nullopt},
        {"folder", SaveProblem::NotRegularFile},
        {"missing/new.txt", SaveProblem::SystemError}};
    for (const auto& [name, problem] : cases) {
        try {
            Save(In(name), name);
            EXPECT_TRUE(!problem && Read(In(name)) == name) << name;
        } catch (const files::ESavedFile& error) {
            EXPECT_TRUE(problem == error.Problem() && error.Path() == In(name)) << error.what();
            EXPECT_NE(error.Reason(), "") << name;
        }
    }
    EXPECT_EQ(Entries(), 3);
}

}  // namespace
