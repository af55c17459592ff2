#pragma once

namespace cmp {

// Inside a Windows host, dialogs of a class-library DLL must run with the DLL's own
// module state. This build uses no such class library on any platform, so there is no
// state to switch; the scope stays as a named step of the run so that a build with one
// has exactly one place to do it.
class ModuleStateScope {
  public:
    ModuleStateScope() = default;
    ModuleStateScope(const ModuleStateScope&) = delete;
    ModuleStateScope& operator=(const ModuleStateScope&) = delete;
    ~ModuleStateScope() = default;
};

}  // namespace cmp
