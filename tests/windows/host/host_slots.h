// The plug-in object as a host built by Microsoft's compiler sees it: the first word
// points to a table of four thiscall entries, which it calls by index. Written from the
// host's side on purpose, without the plug-in's own header.
#pragma once

#include <cstdint>

namespace cmp {

namespace host_abi {

__extension__ typedef void*(__attribute__((thiscall)) * DestroyEntry)(void* self,
                                                                      std::uint32_t flags);
__extension__ typedef std::int32_t(__attribute__((thiscall)) * QueryKindEntry)(void* self);
__extension__ typedef const char*(__attribute__((thiscall)) * QueryTitleEntry)(void* self);
__extension__ typedef std::int32_t(__attribute__((thiscall)) * RunExportEntry)(void* self,
                                                                               void* model);

// The table behind an object; entry i is slot i.
inline void* const* SlotTable(void* object) {
    return *static_cast<void* const* const*>(object);
}

inline void* Destroy(void* object, std::uint32_t flags) {
    return reinterpret_cast<DestroyEntry>(SlotTable(object)[0])(object, flags);
}
inline std::int32_t QueryKind(void* object) {
    return reinterpret_cast<QueryKindEntry>(SlotTable(object)[1])(object);
}
inline const char* QueryTitle(void* object) {
    return reinterpret_cast<QueryTitleEntry>(SlotTable(object)[2])(object);
}
inline std::int32_t RunExport(void* object, void* model) {
    return reinterpret_cast<RunExportEntry>(SlotTable(object)[3])(object, model);
}

}  // namespace host_abi

}  // namespace cmp
