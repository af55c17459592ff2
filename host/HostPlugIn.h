/* The plug-in object as a host sees it.
 *
 * A host calls the exported CreatePlugIn (no arguments, C linkage, undecorated) and
 * then the object's four operations by slot through the table its first word points
 * to. The table is laid out by hand: a host built by Microsoft's compiler expects
 * exactly four thiscall entries, which GCC's own vtables cannot give. Nothing but C
 * types crosses this boundary. */
#ifndef HOST_PLUG_IN_H
#define HOST_PLUG_IN_H

#include <stddef.h>
#include <stdint.h>

#include "ztModelLib.h"

#if defined(_WIN32) && defined(__i386__)
#define HOST_THISCALL __attribute__((thiscall))
/* GCC deems thiscall on a plain function (not a member) pedantic, and a slot is exactly
 * that: HOST_THISCALL_DECL in front of such a declaration says it is meant. */
#define HOST_THISCALL_DECL __extension__
#else
#define HOST_THISCALL
#define HOST_THISCALL_DECL
#endif

#ifdef __cplusplus
extern "C" {
#endif

struct HostPlugIn;

/* Slot order is fixed; hosts index it. */
struct HostPlugInSlots {
    /* Slot 0: destroys the object; bit 0 of flags also frees its memory. Returns
     * the object's address. */
    HOST_THISCALL_DECL void*(HOST_THISCALL* destroy)(struct HostPlugIn* self, uint32_t flags);
    /* Slot 1: the kind code, 2 for an exporter. */
    HOST_THISCALL_DECL int32_t(HOST_THISCALL* queryKind)(struct HostPlugIn* self);
    /* Slot 2: the menu title; the same address on every call. */
    HOST_THISCALL_DECL const char*(HOST_THISCALL* queryTitle)(struct HostPlugIn* self);
    /* Slot 3: one export of the host's model; -1 or 0. */
    HOST_THISCALL_DECL int32_t(HOST_THISCALL* runExport)(struct HostPlugIn* self, ztModel model);
};

struct HostPlugIn {
    const struct HostPlugInSlots* slots;
};

typedef struct HostPlugIn*(CreatePlugInFunction)(void);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(HostPlugInSlots) == 4 * sizeof(void*), "the host indexes exactly four slots");
static_assert(offsetof(HostPlugIn, slots) == 0, "the table pointer is the object's first word");
#endif

#endif
