#include "netmgmt/agent/TrapBindings.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "netmgmt/agent/AgentMib.h"

namespace oruagent {

namespace {

constexpr std::uint32_t kBindings = 4;
// The first binding's value.
constexpr std::int32_t kBindingMark = 2;

bool SetText(AsnAny& value, const std::string& text) {
    auto* bytes = static_cast<std::uint8_t*>(std::malloc(text.size() + 1));
    if (bytes == nullptr) {
        return false;
    }
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    value.asnType = ASN_OCTETSTRING;
    value.asnValue.string.stream = bytes;
    value.asnValue.string.length = static_cast<std::uint32_t>(text.size() + 1);
    value.asnValue.string.dynamic = 1;
    return true;
}

}  // namespace

bool MakeTrapBindings(const PendingTrap& trap, SnmpVarBindList* bindings) {
    auto* list = static_cast<SnmpVarBind*>(std::calloc(kBindings, sizeof(SnmpVarBind)));
    if (list == nullptr) {
        return false;
    }
    SnmpVarBindList made{list, kBindings};
    bool built = true;
    for (std::uint32_t i = 0; built && i < kBindings; ++i) {
        list[i].value.asnType = ASN_NULL;
        built = SnmpUtilOidSet(&list[i].name, kViewArcs.data(),
                               static_cast<std::uint32_t>(kViewArcs.size()));
    }
    if (built) {
        list[0].value.asnType = ASN_INTEGER;
        list[0].value.asnValue.number = kBindingMark;
        list[2].value.asnType = ASN_INTEGER;
        list[2].value.asnValue.number = static_cast<std::int32_t>(trap.catalogId);
        built = SetText(list[1].value, trap.serialNumber) && SetText(list[3].value, trap.text);
    }
    if (!built) {
        SnmpUtilVarBindListFree(&made);
        return false;
    }
    *bindings = made;
    return true;
}

}  // namespace oruagent
