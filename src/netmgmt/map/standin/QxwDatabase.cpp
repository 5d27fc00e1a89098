#include "netmgmt/map/standin/QxwDatabase.h"

#include <algorithm>
#include <set>

#include <nlohmann/json.hpp>

namespace qxw {

namespace {

using nlohmann::json;

// Fields every object of the platform has.
const char* const kBuiltInFields[] = {"isComputer"};

struct Bad {
    std::string why;
};

const json& Member(const json& j, const char* key, const std::string& where) {
    if (!j.is_object() || !j.contains(key)) {
        throw Bad{where + ": \"" + key + "\" is missing"};
    }
    return j.at(key);
}

QXwId Id(const json& j, const char* key, const std::string& where, bool zeroAllowed = false) {
    const json& v = Member(j, key, where);
    if (!v.is_number_unsigned() || v.get<std::uint64_t>() > UINT32_MAX ||
        (!zeroAllowed && v.get<std::uint64_t>() == 0)) {
        throw Bad{where + ": \"" + key + "\" is not an id"};
    }
    return static_cast<QXwId>(v.get<std::uint64_t>());
}

std::string Text(const json& j, const char* key, const std::string& where) {
    if (!j.contains(key)) {
        return "";
    }
    if (!j.at(key).is_string()) {
        throw Bad{where + ": \"" + key + "\" is not a text"};
    }
    return j.at(key).get<std::string>();
}

std::int64_t Number(const json& j, const char* key, const std::string& where,
                    std::int64_t otherwise, std::int64_t low, std::int64_t high) {
    if (!j.contains(key)) {
        return otherwise;
    }
    const json& v = j.at(key);
    if (!v.is_number_integer() || v.get<std::int64_t>() < low || v.get<std::int64_t>() > high) {
        throw Bad{where + ": \"" + key + "\" is out of range"};
    }
    return v.get<std::int64_t>();
}

const json& List(const json& j, const char* key) {
    static const json kEmpty = json::array();
    if (!j.contains(key)) {
        return kEmpty;
    }
    if (!j.at(key).is_array()) {
        throw Bad{std::string("\"") + key + "\" is not a list"};
    }
    return j.at(key);
}

}  // namespace

void Database::Clear() {
    objects_.clear();
    submaps_.clear();
    symbols_.clear();
    fieldNames_.assign(std::begin(kBuiltInFields), std::end(kBuiltInFields));
    nextObject_ = nextSubmap_ = nextSymbol_ = 1;
    mapName = "default";
    mapOpen = true;
}

std::string Database::Load(const std::string& text) {
    Clear();
    const json j = json::parse(text, nullptr, false);
    try {
        if (j.is_discarded() || !j.is_object()) {
            throw Bad{"not a JSON object"};
        }
        if (j.contains("map")) {
            const json& map = j.at("map");
            if (!map.is_object()) {
                throw Bad{"\"map\" is not an object"};
            }
            mapName = Text(map, "name", "map");
            if (map.contains("open") && !map.at("open").is_boolean()) {
                throw Bad{"map: \"open\" is not true or false"};
            }
            mapOpen = map.value("open", true);
        }
        std::set<std::string> fields(fieldNames_.begin(), fieldNames_.end());
        for (const json& o : List(j, "objects")) {
            Object object;
            object.id = Id(o, "id", "object");
            const std::string where = "object " + std::to_string(object.id);
            object.selectionName = Text(o, "selectionName", where);
            object.hostName = Text(o, "hostname", where);
            object.status =
                static_cast<std::int32_t>(Number(o, "status", where, 0, INT32_MIN, INT32_MAX));
            if (object.selectionName.empty() || FindSelection(object.selectionName) != nullptr) {
                throw Bad{where + ": its selection name is empty or not unique"};
            }
            if (!object.hostName.empty() && FindHost(object.hostName) != nullptr) {
                throw Bad{where + ": its host name is not unique"};
            }
            if (o.contains("fields")) {
                if (!o.at("fields").is_object()) {
                    throw Bad{where + ": \"fields\" is not an object"};
                }
                for (const auto& [name, value] : o.at("fields").items()) {
                    if (!value.is_boolean()) {
                        throw Bad{where + ": field \"" + name + "\" is not true or false"};
                    }
                    object.fields[name] = value.get<bool>();
                    fields.insert(name);
                }
            }
            if (!objects_.emplace(object.id, object).second) {
                throw Bad{where + ": the id is used twice"};
            }
            nextObject_ = std::max<QXwId>(nextObject_, object.id + 1);
        }
        fieldNames_.assign(fields.begin(), fields.end());
        for (const json& s : List(j, "submaps")) {
            Submap submap;
            submap.id = Id(s, "id", "submap");
            const std::string where = "submap " + std::to_string(submap.id);
            submap.parentObject = Id(s, "parentObject", where, true);
            submap.name = Text(s, "name", where);
            submap.appName = Text(s, "app", where);
            if (submap.parentObject != 0) {
                Object* parent = FindObject(submap.parentObject);
                if (parent == nullptr || parent->childSubmap != 0) {
                    throw Bad{where + ": its parent is unknown or has a submap already"};
                }
                parent->childSubmap = submap.id;
            }
            if (!submaps_.emplace(submap.id, submap).second) {
                throw Bad{where + ": the id is used twice"};
            }
            nextSubmap_ = std::max<QXwId>(nextSubmap_, submap.id + 1);
        }
        for (const json& s : List(j, "symbols")) {
            Symbol symbol;
            symbol.id = Id(s, "id", "symbol");
            const std::string where = "symbol " + std::to_string(symbol.id);
            symbol.submap = Id(s, "submap", where);
            symbol.object = Id(s, "object", where);
            if (FindSubmap(symbol.submap) == nullptr || FindObject(symbol.object) == nullptr) {
                throw Bad{where + ": its submap or object is unknown"};
            }
            symbol.type = Text(s, "type", where);
            symbol.label = Text(s, "label", where);
            symbol.appName = Text(s, "app", where);
            symbol.statusSource = static_cast<int>(
                Number(s, "statusSource", where, QXW_STATUS_FROM_OBJECT, INT32_MIN, INT32_MAX));
            if (s.contains("behavior")) {
                const json& b = s.at("behavior");
                if (!b.is_object()) {
                    throw Bad{where + ": \"behavior\" is not an object"};
                }
                Behavior behavior;
                behavior.kind = static_cast<int>(Number(b, "kind", where, 0, INT32_MIN, INT32_MAX));
                behavior.appName = Text(b, "app", where);
                behavior.action = Text(b, "action", where);
                for (const json& id : List(b, "objects")) {
                    if (!id.is_number_unsigned() || id.get<std::uint64_t>() > UINT32_MAX) {
                        throw Bad{where + ": a behaviour object is not an id"};
                    }
                    behavior.objects.push_back(static_cast<QXwId>(id.get<std::uint64_t>()));
                }
                symbol.behavior = behavior;
            }
            if (!symbols_.emplace(symbol.id, symbol).second) {
                throw Bad{where + ": the id is used twice"};
            }
            nextSymbol_ = std::max<QXwId>(nextSymbol_, symbol.id + 1);
        }
    } catch (const Bad& bad) {
        Clear();
        return bad.why;
    } catch (const json::exception& e) {
        // A member of a kind no check above expected: damaged like any other.
        Clear();
        return e.what();
    }
    return "";
}

std::string Database::Dump() const {
    json objects = json::array();
    for (const auto& [id, o] : objects_) {
        json fields = json::object();
        for (const auto& [name, value] : o.fields) {
            fields[name] = value;
        }
        objects.push_back({{"id", o.id},
                           {"selectionName", o.selectionName},
                           {"hostname", o.hostName},
                           {"fields", fields},
                           {"status", o.status},
                           {"childSubmap", o.childSubmap}});
    }
    json submaps = json::array();
    for (const auto& [id, s] : submaps_) {
        submaps.push_back(
            {{"id", s.id}, {"name", s.name}, {"parentObject", s.parentObject}, {"app", s.appName}});
    }
    json symbols = json::array();
    for (const auto& [id, s] : symbols_) {
        json symbol = {{"id", s.id},
                       {"submap", s.submap},
                       {"object", s.object},
                       {"type", s.type},
                       {"label", s.label},
                       {"app", s.appName},
                       {"statusSource", s.statusSource},
                       {"status", ShownStatus(s)}};
        if (s.behavior) {
            symbol["behavior"] = {{"kind", s.behavior->kind},
                                  {"app", s.behavior->appName},
                                  {"action", s.behavior->action},
                                  {"objects", s.behavior->objects}};
        }
        symbols.push_back(symbol);
    }
    const json dump = {{"map", {{"name", mapName}, {"open", mapOpen}}},
                       {"objects", objects},
                       {"submaps", submaps},
                       {"symbols", symbols}};
    // Labels and names come from SNMP agents: bytes that are no UTF-8 show
    // as replacement characters rather than failing the dump.
    return dump.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

Object* Database::FindObject(QXwId id) {
    auto it = objects_.find(id);
    return it == objects_.end() ? nullptr : &it->second;
}

Object* Database::FindSelection(const std::string& selectionName) {
    for (auto& [id, o] : objects_) {
        if (o.selectionName == selectionName) {
            return &o;
        }
    }
    return nullptr;
}

Object* Database::FindHost(const std::string& hostName) {
    for (auto& [id, o] : objects_) {
        if (!o.hostName.empty() && o.hostName == hostName) {
            return &o;
        }
    }
    return nullptr;
}

Submap* Database::FindSubmap(QXwId id) {
    auto it = submaps_.find(id);
    return it == submaps_.end() ? nullptr : &it->second;
}

Symbol* Database::FindSymbol(QXwId id) {
    auto it = symbols_.find(id);
    return it == symbols_.end() ? nullptr : &it->second;
}

std::int32_t Database::ShownStatus(const Symbol& symbol) const {
    if (symbol.statusSource != QXW_STATUS_FROM_OBJECT) {
        return 0;
    }
    auto it = objects_.find(symbol.object);
    return it == objects_.end() ? 0 : it->second.status;
}

QXwId Database::FieldId(const std::string& name) const {
    auto it = std::find(fieldNames_.begin(), fieldNames_.end(), name);
    return it == fieldNames_.end() ? 0 : static_cast<QXwId>(it - fieldNames_.begin() + 1);
}

const std::string* Database::FieldName(QXwId id) const {
    return id >= 1 && id <= fieldNames_.size() ? &fieldNames_[id - 1] : nullptr;
}

QXwId Database::AddObject(const std::string& selectionName) {
    if (nextObject_ == 0) {
        return 0;  // every id is used
    }
    Object object;
    object.id = nextObject_++;
    object.selectionName = selectionName;
    objects_.emplace(object.id, object);
    return object.id;
}

QXwId Database::AddSubmap(QXwId parentObject, const std::string& name, const std::string& appName) {
    Object* parent = FindObject(parentObject);
    if (parent == nullptr || nextSubmap_ == 0) {
        return 0;
    }
    Submap submap{nextSubmap_++, parentObject, name, appName};
    parent->childSubmap = submap.id;
    submaps_.emplace(submap.id, submap);
    return submap.id;
}

QXwId Database::AddSymbol(Symbol symbol) {
    if (nextSymbol_ == 0) {
        return 0;
    }
    symbol.id = nextSymbol_++;
    symbols_.emplace(symbol.id, symbol);
    return symbol.id;
}

void Database::DeleteSymbolsOf(QXwId object) {
    for (auto it = symbols_.begin(); it != symbols_.end();) {
        it = it->second.object == object ? symbols_.erase(it) : std::next(it);
    }
}

void Database::DeleteSubmap(QXwId id) {
    auto it = submaps_.find(id);
    if (it == submaps_.end()) {
        return;
    }
    if (Object* parent = FindObject(it->second.parentObject)) {
        parent->childSubmap = 0;
    }
    submaps_.erase(it);
    for (auto s = symbols_.begin(); s != symbols_.end();) {
        s = s->second.submap == id ? symbols_.erase(s) : std::next(s);
    }
}

void Database::DeleteObject(QXwId id) {
    Object* object = FindObject(id);
    if (object == nullptr) {
        return;
    }
    if (object->childSubmap != 0) {
        DeleteSubmap(object->childSubmap);
    }
    DeleteSymbolsOf(id);
    objects_.erase(id);
}

}  // namespace qxw
