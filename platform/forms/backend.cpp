#include "platform/forms/backend.h"

#include "platform/rtl/exceptions.h"

namespace forms {

namespace {
IBackend* currentBackend = nullptr;
}

void SetBackend(IBackend* backend) { currentBackend = backend; }

IBackend& Backend() {
    if (!currentBackend) throw rtl::Exception("No window backend is set");
    return *currentBackend;
}

bool HasBackend() { return currentBackend != nullptr; }

}  // namespace forms
