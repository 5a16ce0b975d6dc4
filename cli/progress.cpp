#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>

namespace zelmora::cli {

Progress::Progress() : Progress(stderr, ::isatty(2) == 1, std::chrono::seconds(1)) {}

Progress::Progress(std::FILE* out, bool enabled, std::chrono::milliseconds delay)
    : out_(out), enabled_(enabled), delay_(delay) {
    if (enabled_) thread_ = std::thread([this] { watch(); });
}

Progress::~Progress() {
    done();
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
}

void Progress::step(const std::string& name) {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (shown_) std::fprintf(out_, " done\n");
    name_ = name;
    started_ = std::chrono::steady_clock::now();
    shown_ = false;
    active_ = true;
    cv_.notify_all();
}

void Progress::done() {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (shown_) std::fprintf(out_, " done\n");
    shown_ = false;
    active_ = false;
}

void Progress::watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        if (active_ && !shown_) {
            auto due = started_ + delay_;
            if (std::chrono::steady_clock::now() >= due) {
                std::fprintf(out_, "zelmora-cli: %s ...", name_.c_str());
                std::fflush(out_);
                shown_ = true;
                continue;
            }
            cv_.wait_until(lock, due);
        } else {
            cv_.wait(lock);
        }
    }
}

}  // namespace zelmora::cli
