#include "comm/exception_display.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace morvik::comm {

namespace {

std::mutex displayMutex;
ExceptionDisplay installedDisplay;

void PrintToStandardError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Morvik II: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Morvik II: unknown exception\n");
    }
}

}  // namespace

void SetExceptionDisplay(ExceptionDisplay display) {
    std::lock_guard lock(displayMutex);
    installedDisplay = std::move(display);
}

void ShowException(const std::exception_ptr& error) {
    ExceptionDisplay display;
    {
        std::lock_guard lock(displayMutex);
        display = installedDisplay;
    }
    try {
        if (display)
            display(error);
        else
            PrintToStandardError(error);
    } catch (...) {
        PrintToStandardError(std::current_exception());
    }
}

}  // namespace morvik::comm
