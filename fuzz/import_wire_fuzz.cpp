// Fuzz target for the wire form in which the import child returns a model: any bytes
// go in, as from a child that a hostile model file derailed. The decoder must refuse
// them or build exactly what they say, and what it built must cross the wire again
// unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "modelhost/import_model.h"
#include "standin/ztModelBuilder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cmp;
    const Bytes bytes(data, data + size);
    ztModel model = ztBuild_CreateModel();
    Result<ImportReply> reply = DecodeImportReply(bytes, model);
    if (!reply) {
        if (reply.message().empty() || ztModel_GetMeshCount(model) != 0 ||
            ztModel_GetMaterialCount(model) != 0) {
            std::abort();
        }
    } else if (reply.value().kind == ImportWireKind::Model) {
        // Names end at their first 0 byte on the way through the model functions, so
        // the bytes may shrink once; after that they must stay the same.
        const ImportSummary& summary = reply.value().summary;
        const Bytes once = EncodeImportedModel(model, summary);
        ztModel again = ztBuild_CreateModel();
        const Result<ImportReply> replyAgain = DecodeImportReply(once, again);
        if (!replyAgain.ok() || replyAgain.value().summary != summary ||
            EncodeImportedModel(again, summary) != once || once.size() > bytes.size()) {
            std::abort();
        }
        ztModel_Destroy(again);
    }
    ztModel_Destroy(model);
    return 0;
}
