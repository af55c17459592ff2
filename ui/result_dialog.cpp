#include "ui/result_dialog.h"

namespace cmp {

void ResultDialog::DoModal() {
    ui_.RunResultDialog(Caption, [this] { return OnInitDialog(); });
}

const NodeTree* ResultDialog::OnInitDialog() {
    try {
        return startUp_ ? startUp_() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace cmp
