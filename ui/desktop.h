#pragma once
// The desktop's "open" action: a folder window after an export, a web page
// for an About link.
#include <QUrl>
#include <functional>
#include <type_traits>
#include <utility>

namespace zelmora {

// QDesktopServices::openUrl: false when the desktop could show nothing (no
// file manager, no browser).
bool OpenOnDesktop(const QUrl& url);

// An open action that says whether the desktop showed anything. Made from an
// action that answers (bool) or one that doesn't (taken as shown).
class DesktopOpenAction {
public:
    DesktopOpenAction() = default;
    template <typename F, typename = std::enable_if_t<std::is_invocable_v<F&, const QUrl&> &&
                                                      !std::is_same_v<std::decay_t<F>, DesktopOpenAction>>>
    DesktopOpenAction(F f) {  // NOLINT: made from any such callable, as std::function is
        if constexpr (std::is_convertible_v<std::invoke_result_t<F&, const QUrl&>, bool>)
            open_ = std::move(f);
        else
            open_ = [f = std::move(f)](const QUrl& url) mutable {
                f(url);
                return true;
            };
    }
    bool operator()(const QUrl& url) const { return open_ ? open_(url) : false; }

private:
    std::function<bool(const QUrl&)> open_;
};

}  // namespace zelmora
