#include "loader.hpp"

#include <algorithm>

namespace host {

std::optional<Extension> loadExtension(const std::string& path, std::string& why) {
    void* library = openLibrary(path, why);
    if (library == nullptr) return std::nullopt;
    auto* mexFunction = reinterpret_cast<MexFunction*>(findSymbol(library, "mexFunction"));
    if (mexFunction == nullptr) {
        why = path + " does not export mexFunction";
        closeLibrary(library);
        return std::nullopt;
    }
    auto* apiVersion = reinterpret_cast<ApiVersionFunction*>(findSymbol(library, "mexfilerequiredapiversion"));
    return Extension{library, mexFunction, apiVersion};
}

void unloadExtension(const Extension& extension) {
    // As the host does before it unloads one: what it registered with mexAtExit.
    if (StandinExitFunction* exitFunction = standinTakeAtExit(extension.library)) exitFunction();
    closeLibrary(extension.library);
}

ApiVersion requiredApiVersion(const Extension& extension) {
    ApiVersion version{0xDEADBEEF, 0xDEADBEEF};
    if (extension.apiVersion != nullptr) extension.apiVersion(&version.first, &version.second);
    return version;
}

Outcome callExtension(const Extension& extension, int nlhs, const std::vector<const mxArray*>& inputs,
                      EndBy endBy) {
    std::vector<mxArray*> slots(static_cast<std::size_t>(std::max(nlhs, 1)), nullptr);
    const int nrhs = static_cast<int>(inputs.size());
    const mxArray** prhs = const_cast<const mxArray**>(inputs.data());
    const std::size_t createdBefore = standinCreatedCount();
    Outcome outcome{};
    MexError error{};
    standinEnterCall(extension.library);
    if (endBy == EndBy::longjmp) {
        standinCallEndingByJump(extension.mexFunction, nlhs, slots.data(), nrhs, prhs, &error);
    } else {
        try {
            extension.mexFunction(nlhs, slots.data(), nrhs, prhs);
        } catch (const MexError& thrown) {
            error = thrown;
        }
    }
    standinEnterCall(nullptr);
    outcome.error = error.message;
    outcome.identifier = error.identifier;
    outcome.created = standinCreatedCount() - createdBefore;
    // On an error the host frees what the call made; otherwise it takes the
    // result as the call's answer.
    if (outcome.error.empty() && slots[0] != nullptr && mxGetPr(slots[0]) != nullptr) {
        outcome.value = *mxGetPr(slots[0]);
        for (mxArray* slot : slots) {
            if (slot == nullptr || mxGetPr(slot) == nullptr) break;
            outcome.values.push_back(*mxGetPr(slot));
        }
    }
    for (mxArray* slot : slots) standinDestroyArray(slot);
    return outcome;
}

mxArray* makeDoubles(const std::vector<double>& values) {
    mxArray* array = standinCreateArray(kMxDouble, values.empty() ? 0 : 1, values.size(), false);
    std::copy(values.begin(), values.end(), static_cast<double*>(array->real));
    return array;
}

}  // namespace host
