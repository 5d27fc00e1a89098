// qxw: the map library of the network-management platform, as the map
// application uses it. The platform itself is not part of this suite; this
// is a small stand-in of our own that keeps the platform's map in memory.
//
// The stand-in holds one database of objects (each with a selection name,
// an optional host name and boolean fields such as "isComputer"), submaps
// (each belonging to a parent object and created by an application) and
// symbols (an object shown on a submap, with a type, a label, a status
// source and an action behaviour). It is loaded at _QXwInit from a JSON file
// (ORU_MAP_DATABASE, default ORU_ROOT/map/database.json), written back as a
// JSON dump (ORU_MAP_DUMP, default ORU_ROOT/map/dump.json) at the end of
// every outermost sync bracket, after every change made outside one, and at
// QXwDone. Platform events (map open and close, objects deleted, objects
// changed, manage and unmanage, end of the application) come as lines on a
// control FIFO (ORU_MAP_CONTROL, default ORU_ROOT/map/control; see
// QxwControl.h) and reach the callbacks from the application loop.
//
// Calls fail (0, nullptr or -1, with QXwError() set) before _QXwInit, after
// QXwDone and for a null map. Everything runs on the loop's thread.
// Lists are returned as structs the caller frees with the matching Free call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using QXwId = std::uint32_t;  // objects, submaps, symbols, fields; 0: none

// Error numbers of QXwError().
inline constexpr int QXW_OK = 0;
inline constexpr int QXW_NOT_INITIALISED = 1;
inline constexpr int QXW_NO_MAP = 2;
inline constexpr int QXW_NO_SUCH_OBJECT = 3;
inline constexpr int QXW_NO_SUCH_SUBMAP = 4;
inline constexpr int QXW_NO_SUCH_SYMBOL = 5;
inline constexpr int QXW_NO_SUCH_FIELD = 6;
inline constexpr int QXW_BAD_ARGUMENT = 7;
inline constexpr int QXW_SUBMAP_EXISTS = 8;
inline constexpr int QXW_OBJECT_EXISTS = 63;

// Platform events (the numbers of QXwAddCallback).
inline constexpr int QXW_EVENT_END_APPLICATION = 1;
inline constexpr int QXW_EVENT_MAP_OPEN = 3;
inline constexpr int QXW_EVENT_MAP_CLOSE = 4;
inline constexpr int QXW_EVENT_OBJECTS_DELETED = 15;
inline constexpr int QXW_EVENT_OBJECTS_CHANGED = 16;
inline constexpr int QXW_EVENT_MANAGE = 21;
inline constexpr int QXW_EVENT_UNMANAGE = 22;

// Object record scope (QXwObjectRecord::scope) of a deleted object: 2 when
// it was deleted from the map only and its owner is to delete the database
// object.
inline constexpr std::uint32_t QXW_DELETED_FROM_MAP = 2;

// QXwListSymbols: the symbols created by the named application.
inline constexpr int QXW_SYMBOLS_OF_APPLICATION = 7;
// QXwSetSymbolBehavior: run an action of an application on the symbol.
inline constexpr int QXW_BEHAVIOR_ACTION = 2;
// QXwCreateSymbol status source: the symbol shows its object's status.
inline constexpr int QXW_STATUS_FROM_OBJECT = 1;
// Field value types.
inline constexpr std::uint32_t QXW_FIELD_BOOLEAN = 2;

struct QXwMapInfo {
    std::string name;
};

struct QXwObjectInfo {
    QXwId objectId = 0;
    QXwId childSubmapId = 0;  // the submap the object opens into; 0: none
    std::int32_t status = 0;
    std::uint32_t symbolCount = 0;
    std::uint32_t isComputer = 0;
};

struct QXwFieldValue {
    std::uint32_t flags = 0;
    std::uint32_t type = QXW_FIELD_BOOLEAN;
    std::uint32_t number = 0;  // a boolean's value (1 TRUE)
    std::uint32_t length = 0;
};

struct QXwFieldBinding {
    QXwId fieldId = 0;
    QXwFieldValue value;
};

struct QXwObjectRecord {
    QXwId objectId = 0;
    std::uint32_t scope = 0;  // events 15: QXW_DELETED_FROM_MAP or 0
};

struct QXwObjectList {
    std::vector<QXwObjectRecord> objects;
};

// Event 16: objects whose information changed.
struct QXwChangeRecord {
    QXwId objectId = 0;
};

struct QXwChangeList {
    std::vector<QXwChangeRecord> changes;
};

struct QXwSymbolRecord {
    QXwId symbolId = 0;
    QXwId submapId = 0;
    QXwId objectId = 0;
};

struct QXwSymbolList {
    std::vector<QXwSymbolRecord> symbols;
};

struct QXwSubmapInfo {
    QXwId submapId = 0;
    QXwId parentObjectId = 0;
    std::string name;
    std::string appName;  // the application that created it
};

// What an event carries: map (events 3 and 4: the map opened or closing),
// closeToken (event 4: given back to QXwAckMapClose), objects (15, 21, 22)
// or changes (16); a list is nullptr when the event carries none.
struct QXwEvent {
    int number = 0;
    const QXwMapInfo* map = nullptr;
    std::uint32_t closeToken = 0;
    const QXwObjectList* objects = nullptr;
    const QXwChangeList* changes = nullptr;
};

using QXwCallback = void (*)(void* data, const QXwEvent& event);

// Connects to the platform (loads the database, opens the control FIFO).
// version: the interface version the application was written for (5).
// 0 on success; otherwise the reason was printed and nothing works.
int _QXwInit(int version);
// Writes the final dump and disconnects; callbacks are forgotten.
void QXwDone();
int QXwError();
const char* QXwErrorMsg(int error);
// The name this application has on the platform (its program name).
const char* QXwGetAppName();

QXwMapInfo* QXwGetMapInfo();  // nullptr when no map is open
QXwMapInfo* QXwCopyMapInfo(const QXwMapInfo* map);
void QXwFreeMapInfo(QXwMapInfo* map);
// Calls handler(data, event) for every platform event of that number, in
// the order of registration. flags: 0.
int QXwAddCallback(int event, int flags, QXwCallback handler, void* data);
int QXwAckMapClose(const QXwMapInfo* map, std::uint32_t closeToken);
int QXwBeginMapSync(const QXwMapInfo* map);
int QXwEndMapSync(const QXwMapInfo* map);

QXwId QXwDbFieldNameToFieldId(const std::string& fieldName);
// Objects that have a symbol on the map and whose field equals the value.
QXwObjectList* QXwListObjectsOnMap(const QXwMapInfo* map, const QXwFieldBinding& filter);
void QXwFreeObjectList(QXwObjectList* list);
std::string QXwDbObjectIdToHostname(QXwId object);  // "" when it has none
QXwId QXwDbHostnameToObjectId(const std::string& hostName);
QXwId QXwDbCreateObjectBySelectionName(const std::string& selectionName);
QXwId QXwDbSelectionNameToObjectId(const std::string& selectionName);
bool QXwIsIdNull(QXwId id);
// Also deletes the object's symbols and the submap it opens into.
int QXwDbDeleteObject(QXwId object);

QXwObjectInfo* QXwGetObjectInfo(const QXwMapInfo* map, QXwId object);
void QXwFreeObjectInfo(QXwObjectInfo* info);
int QXwSetStatusOnObject(const QXwMapInfo* map, QXwId object, std::int32_t status);

// A submap opening from parentObject (which must have none yet); policy,
// flags, layout and overlay shape a drawn map and are accepted as given.
QXwId QXwCreateSubmap(const QXwMapInfo* map, QXwId parentObject, int policy, int flags,
                      const std::string& name, int layout, int overlay);
QXwSubmapInfo* QXwGetSubmapInfo(const QXwMapInfo* map, QXwId submap);
void QXwFreeSubmapInfo(QXwSubmapInfo* info);
// Also deletes the submap's symbols.
int QXwDeleteSubmap(const QXwMapInfo* map, QXwId submap);

// variety and placement shape a drawn symbol and are accepted as given.
QXwId QXwCreateSymbol(const QXwMapInfo* map, QXwId submap, QXwId object,
                      const std::string& symbolType, const std::string& label, int statusSource,
                      int variety, int flags, int placement);
int QXwSetSymbolBehavior(const QXwMapInfo* map, QXwId symbol, int behavior,
                         const std::string& appName, const std::string& action,
                         const QXwObjectList& objects);
int QXwDeleteSymbol(const QXwMapInfo* map, QXwId symbol);
// which: QXW_SYMBOLS_OF_APPLICATION (symbols of appName on the submap).
QXwSymbolList* QXwListSymbols(const QXwMapInfo* map, QXwId submap, int which,
                              const std::string& appName);
void QXwFreeSymbolList(QXwSymbolList* list);
