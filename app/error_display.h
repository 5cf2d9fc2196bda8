#pragma once

#include <exception>
#include <utility>

#include <QString>

#include "app/message_boxes.h"

// Runs one event handler so that no exception reaches Qt's event loop: an error ends the
// handler, its message is shown, and the loop goes on. An error that is no std::exception
// is shown with an empty message.
template <typename Handler>
void RunGuarded(MessageBoxes& boxes, Handler&& handler) {
    QString message;
    try {
        std::forward<Handler>(handler)();
        return;
    } catch (const std::exception& error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
    }
    boxes.ShowException(message);
}
