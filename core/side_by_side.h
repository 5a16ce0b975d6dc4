#pragma once
// Two pieces of work at once: the machines we aim at have two cores. The
// second runs on a thread of its own, the first on the caller's; a failure of
// either is thrown once both are done (the first's when both fail).
#include <exception>
#include <thread>

namespace zelmora {

template <typename First, typename Second>
void SideBySide(First&& first, Second&& second) {
    std::exception_ptr secondFailure;
    std::thread worker([&] {
        try {
            second();
        } catch (...) {
            secondFailure = std::current_exception();
        }
    });
    try {
        first();
    } catch (...) {
        worker.join();
        throw;
    }
    worker.join();
    if (secondFailure) std::rethrow_exception(secondFailure);
}

}  // namespace zelmora
