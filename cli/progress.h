#pragma once
// A progress line on standard error for steps that take longer than about a
// second, shown only when standard error is a terminal.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace zelmora::cli {

class Progress {
public:
    // On standard error, when it is a terminal, after one second.
    Progress();
    // On `out` when `enabled`, after `delay`.
    Progress(std::FILE* out, bool enabled, std::chrono::milliseconds delay);
    ~Progress();
    // Starts a new step; the previous one is over.
    void step(const std::string& name);
    void done();

private:
    void watch();
    std::FILE* out_;
    bool enabled_;
    std::chrono::milliseconds delay_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::string name_;
    std::chrono::steady_clock::time_point started_;
    bool shown_ = false;
    bool active_ = false;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace zelmora::cli
