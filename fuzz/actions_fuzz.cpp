// The action files: an action list ("vxa", "fa.up") and the named-action
// database ("actions.adb") read from the same bytes; whatever reads is
// described and written back.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "viewer/actions/action_describe.h"
#include "viewer/actions/action_file.h"

namespace {

void Exercise(const Action& action) {
    BlockIsValid(action.type, action.block);
    DescribeAction(action, true);
    std::vector<uint8_t> out;
    WriteAction(action, out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    ActionList list;
    if (DecodeActionList(bytes, &list)) {
        for (const Action& action : list.items)
            Exercise(action);
        std::vector<uint8_t> out;
        EncodeActionList(list, out);
    }
    ActionStore store;
    store.Load(bytes);
    Action action;
    for (int n = 0; store.Get(ACTION_NONE, static_cast<uint32_t>(n), &action, nullptr); ++n)
        Exercise(action);
    store.Encode();
    return 0;
}
