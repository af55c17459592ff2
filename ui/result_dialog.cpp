#include "ui/result_dialog.h"

#include <exception>

#include "mesh/mesh_data_stream.h"
#include "tree/compound_layout.h"
#include "utf/utf_writer.h"

namespace cmp {

void ResultDialog::DoModal() {
    ui_.RunResultDialog(Caption, [this] { return OnInitDialog(); });
}

const NodeTree* ResultDialog::OnInitDialog() {
    try {
        nodeTree_ = std::make_unique<NodeTree>();
        if (meshList_ == nullptr || meshList_->empty()) {
            outcome_ = ResultOutcome::BuildFailed;
            failureReason_ = "there are no meshes to export";
            return nullptr;
        }
        Status built = BuildCompoundLayout(*nodeTree_, *meshList_, TempStreamFileName);
        if (!built) {
            outcome_ = ResultOutcome::ReadBackFailed;
            failureReason_ = built.message();
            return nullptr;
        }
        std::string reason;
        if (!WriteUtfFile(*nodeTree_, outputPath_.c_str(), &reason)) {
            outcome_ = ResultOutcome::WriteFailed;
            failureReason_ = reason.empty() ? "unknown reason" : reason;
        } else {
            outcome_ = ResultOutcome::Written;
        }
        return nodeTree_.get();
    } catch (const std::exception& failure) {
        // The start-up runs inside a user-interface toolkit's callback, which an
        // exception must never cross.
        outcome_ = ResultOutcome::BuildFailed;
        failureReason_ = failure.what();
    } catch (...) {
        outcome_ = ResultOutcome::BuildFailed;
        failureReason_ = "unknown failure";
    }
    return nullptr;
}

}  // namespace cmp
