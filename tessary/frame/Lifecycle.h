#pragma once

// Module load and unload hooks. A module declares these as static objects at
// file scope: an EntryFunction runs its function while the module's statics
// are constructed, an ExitFunction or ExitFunctionList runs its functions while
// they are destroyed. None of them can be copied in use: a copy is inert (null
// function, empty list) and assignment changes nothing, so a copy never runs a
// hook twice.

#include <vector>

#include "tessary/frame/Export.h"

namespace Tessary {

using HookFunction = void (*)();

class TESSARY_API EntryFunction {
public:
    // Runs `fn` at once unless it is null.
    explicit EntryFunction(HookFunction fn);
    virtual ~EntryFunction();

private:
    EntryFunction(const EntryFunction&);
    EntryFunction& operator=(const EntryFunction&);

    HookFunction m_function;
};

class TESSARY_API ExitFunction {
public:
    // Stores `fn`; the destructor runs it unless it is null.
    explicit ExitFunction(HookFunction fn);
    virtual ~ExitFunction();

private:
    ExitFunction(const ExitFunction&);
    ExitFunction& operator=(const ExitFunction&);

    HookFunction m_function;
};

class TESSARY_API ExitFunctionList {
public:
    ExitFunctionList();
    // Runs every stored function, newest first; a function added twice runs twice.
    virtual ~ExitFunctionList();

    // Appends `fn`; a null function is ignored.
    void AddFunction(HookFunction fn);

private:
    ExitFunctionList(const ExitFunctionList&);
    ExitFunctionList& operator=(const ExitFunctionList&);

    std::vector<HookFunction> m_functions;
};

}  // namespace Tessary
