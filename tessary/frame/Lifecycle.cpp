#include "tessary/frame/Lifecycle.h"

namespace Tessary {

EntryFunction::EntryFunction(HookFunction fn) : m_function(fn) {
    if (m_function) m_function();
}

EntryFunction::~EntryFunction() = default;

EntryFunction::EntryFunction(const EntryFunction&) : m_function(nullptr) {}

EntryFunction& EntryFunction::operator=(const EntryFunction&) { return *this; }

ExitFunction::ExitFunction(HookFunction fn) : m_function(fn) {}

ExitFunction::~ExitFunction() {
    if (m_function) m_function();
}

ExitFunction::ExitFunction(const ExitFunction&) : m_function(nullptr) {}

ExitFunction& ExitFunction::operator=(const ExitFunction&) { return *this; }

ExitFunctionList::ExitFunctionList() = default;

ExitFunctionList::~ExitFunctionList() {
    for (auto it = m_functions.rbegin(); it != m_functions.rend(); ++it) (*it)();
}

void ExitFunctionList::AddFunction(HookFunction fn) {
    if (fn) m_functions.push_back(fn);
}

ExitFunctionList::ExitFunctionList(const ExitFunctionList&) {}

ExitFunctionList& ExitFunctionList::operator=(const ExitFunctionList&) { return *this; }

}  // namespace Tessary
