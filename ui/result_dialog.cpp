#include "ui/user_interface.h"

#include <exception>

namespace cmp {

void ResultDialog::DoModal() {
    // No exception may cross a toolkit's callback, where the start-up runs: one is carried
    // over it and thrown again once the dialog has closed, for the plug-in's boundary.
    std::exception_ptr failure;
    ui_.RunResultDialog(Caption, [&]() -> const NodeTree* {
        try {
            return startUp_ ? startUp_() : nullptr;
        } catch (...) {
            failure = std::current_exception();
            return nullptr;
        }
    });
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace cmp
