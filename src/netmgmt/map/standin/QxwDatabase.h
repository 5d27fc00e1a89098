// The stand-in map's database: objects, submaps and symbols in memory, read
// from and written as JSON.
//
//   {"map": {"name": "default", "open": true},
//    "objects": [{"id": 1, "selectionName": "localhost", "hostname": "localhost",
//                 "fields": {"isComputer": true}, "status": 0}],
//    "submaps": [{"id": 1, "name": "Root", "parentObject": 0, "app": ""}],
//    "symbols": [{"id": 1, "submap": 1, "object": 1, "type": "Computer:Workstation",
//                 "label": "localhost", "app": "", "statusSource": 1,
//                 "behavior": {"kind": 2, "app": "vxqxoru", "action": "RunGUI",
//                              "objects": [1]}}]}
//
// Every key but the ids and references may be left out of a start
// database. A dump writes every key, plus "childSubmap" per object and the
// status each symbol shows ("status": its object's status when its status
// source is the object, else 0), so a dump loads as a start database again.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "netmgmt/map/standin/Qxw.h"

namespace qxw {

struct Object {
    QXwId id = 0;
    std::string selectionName;
    std::string hostName;
    std::map<std::string, bool> fields;
    std::int32_t status = 0;
    QXwId childSubmap = 0;
};

struct Submap {
    QXwId id = 0;
    QXwId parentObject = 0;  // 0: the map's root
    std::string name;
    std::string appName;
};

struct Behavior {
    int kind = 0;
    std::string appName;
    std::string action;
    std::vector<QXwId> objects;
};

struct Symbol {
    QXwId id = 0;
    QXwId submap = 0;
    QXwId object = 0;
    std::string type;
    std::string label;
    std::string appName;
    int statusSource = QXW_STATUS_FROM_OBJECT;
    std::optional<Behavior> behavior;
};

class Database {
  public:
    Database() { Clear(); }
    // Replaces the content with the JSON text: "" on success, else the
    // first fault (the content is then empty).
    std::string Load(const std::string& text);
    std::string Dump() const;

    Object* FindObject(QXwId id);
    Object* FindSelection(const std::string& selectionName);
    Object* FindHost(const std::string& hostName);
    Submap* FindSubmap(QXwId id);
    Symbol* FindSymbol(QXwId id);
    // The symbol's status as the map shows it.
    std::int32_t ShownStatus(const Symbol& symbol) const;
    // Field ids number the field names in sorted order from 1.
    QXwId FieldId(const std::string& name) const;
    const std::string* FieldName(QXwId id) const;

    QXwId AddObject(const std::string& selectionName);
    QXwId AddSubmap(QXwId parentObject, const std::string& name, const std::string& appName);
    QXwId AddSymbol(Symbol symbol);
    void DeleteObject(QXwId id);  // with its symbols and its submap
    void DeleteSubmap(QXwId id);  // with its symbols
    void DeleteSymbol(QXwId id) { symbols_.erase(id); }
    void DeleteSymbolsOf(QXwId object);

    const std::map<QXwId, Object>& Objects() const { return objects_; }
    const std::map<QXwId, Symbol>& Symbols() const { return symbols_; }

    std::string mapName = "default";
    bool mapOpen = true;

  private:
    void Clear();

    std::map<QXwId, Object> objects_;
    std::map<QXwId, Submap> submaps_;
    std::map<QXwId, Symbol> symbols_;
    std::vector<std::string> fieldNames_;  // sorted
    QXwId nextObject_ = 1;
    QXwId nextSubmap_ = 1;
    QXwId nextSymbol_ = 1;
};

}  // namespace qxw
