#include "netmgmt/map/ArrayMap.h"

#include "netmgmt/map/SnmpPoller.h"
#include "netmgmt/map/standin/AppLoop.h"
#include "platform/Trace.h"

namespace vxqxoru {

namespace {

constexpr const char* kSymbolType = "Device:Strovane";
constexpr const char* kAction = "RunGUI";
// The platform events the map object handles, in the order it registers.
constexpr int kEvents[] = {
    QXW_EVENT_END_APPLICATION, QXW_EVENT_MAP_OPEN, QXW_EVENT_MAP_CLOSE, QXW_EVENT_OBJECTS_DELETED,
    QXW_EVENT_OBJECTS_CHANGED, QXW_EVENT_MANAGE,   QXW_EVENT_UNMANAGE};

// A map sync bracket for the lifetime of the object.
class MapSync {
  public:
    explicit MapSync(const QXwMapInfo* map) : map_(map) { QXwBeginMapSync(map_); }
    ~MapSync() { QXwEndMapSync(map_); }
    MapSync(const MapSync&) = delete;
    MapSync& operator=(const MapSync&) = delete;

  private:
    const QXwMapInfo* map_;
};

const QXwObjectRecord* Listed(const QXwObjectList& list, QXwId object) {
    for (const QXwObjectRecord& r : list.objects) {
        if (r.objectId == object) {
            return &r;
        }
    }
    return nullptr;
}

void TraceFailure(const char* what, const std::string& name) {
    platform::Trace("vxqxoru: %s %s: %s\n", what, name.c_str(), QXwErrorMsg(QXwError()));
}

}  // namespace

ArrayMap::ArrayMap() : map_(QXwGetMapInfo()) {
    for (int event : kEvents) {
        QXwAddCallback(event, 0, &ArrayMap::OnPlatformEvent, this);
    }
    poller_ = std::make_unique<SnmpPoller>(*this);
}

ArrayMap::~ArrayMap() {
    ReleaseSymbols();
    ReleaseEntries();
    poller_.reset();
    if (map_ != nullptr) {
        QXwFreeMapInfo(map_);
    }
}

void ArrayMap::OnPlatformEvent(void* data, const QXwEvent& event) {
    auto* self = static_cast<ArrayMap*>(data);
    switch (event.number) {
        case QXW_EVENT_END_APPLICATION: {
            qxapp::AppLoop* loop = qxapp::AppLoop::Current();
            if (loop != nullptr && loop->MainWindow() != 0) {
                loop->PostMessage(loop->MainWindow(), qxapp::WM_CLOSE, 0, 0);
            }
            break;
        }
        case QXW_EVENT_MAP_OPEN:
            self->OnMapOpen(event.map);
            break;
        case QXW_EVENT_MAP_CLOSE:
            self->OnMapClose(event);
            break;
        case QXW_EVENT_OBJECTS_DELETED:
            if (event.objects != nullptr) {
                self->RemoveListedObjects(*event.objects);
            }
            break;
        case QXW_EVENT_OBJECTS_CHANGED:
            if (event.changes != nullptr) {
                for (ArrayEntry& entry : self->entries_) {
                    for (const QXwChangeRecord& r : event.changes->changes) {
                        if (entry.objectInfo.objectId == r.objectId) {
                            self->RefreshObjectInfo(entry);
                            break;
                        }
                    }
                }
            }
            break;
        case QXW_EVENT_MANAGE:
        case QXW_EVENT_UNMANAGE:
            if (event.objects != nullptr) {
                self->SetManaged(*event.objects, event.number == QXW_EVENT_MANAGE);
            }
            break;
        default:
            break;
    }
}

void ArrayMap::OnMapOpen(const QXwMapInfo* map) {
    if (map_ != nullptr) {
        QXwFreeMapInfo(map_);
    }
    map_ = QXwCopyMapInfo(map);
    poller_->WalkComputers();
    SyncSymbols();
}

void ArrayMap::OnMapClose(const QXwEvent& event) {
    ReleaseSymbols();
    ReleaseEntries();
    QXwAckMapClose(event.map, event.closeToken);
}

void ArrayMap::SyncSymbols() {
    MapSync sync(map_);
    for (std::size_t i = entries_.size(); i-- > 0;) {
        CreateArraySymbol(entries_[i]);
        RemoveArraySymbol(entries_[i]);
        SetSymbolStatus(entries_[i]);
    }
}

void ArrayMap::ReleaseSymbols() {
    MapSync sync(map_);
    for (std::size_t i = entries_.size(); i-- > 0;) {
        for (SubsystemRow& row : entries_[i].rows) {
            row.stale = true;
        }
        RemoveArraySymbol(entries_[i]);
    }
}

void ArrayMap::ReleaseEntries() {
    MapSync sync(map_);
    for (std::size_t i = entries_.size(); i-- > 0;) {
        DeleteRowObjects(entries_[i]);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void ArrayMap::RemoveListedObjects(const QXwObjectList& objects) {
    MapSync sync(map_);
    for (std::size_t i = entries_.size(); i-- > 0;) {
        ArrayEntry& entry = entries_[i];
        for (std::size_t r = entry.rows.size(); r-- > 0;) {
            const QXwObjectRecord* record = Listed(objects, entry.rows[r].objectId);
            if (record == nullptr) {
                continue;
            }
            if (record->scope == QXW_DELETED_FROM_MAP) {
                QXwDbDeleteObject(entry.rows[r].objectId);
            }
            entry.rows.erase(entry.rows.begin() + static_cast<std::ptrdiff_t>(r));
        }
        if (Listed(objects, entry.objectInfo.objectId) != nullptr) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

void ArrayMap::SetManaged(const QXwObjectList& objects, bool flag) {
    MapSync sync(map_);
    for (ArrayEntry& entry : entries_) {
        bool set = false;
        for (SubsystemRow& row : entry.rows) {
            if (Listed(objects, row.objectId) != nullptr) {
                row.managed = flag;
                set = true;
            }
        }
        if (flag && set) {
            SetSymbolStatus(entry);
        }
    }
}

void ArrayMap::ApplyTrapStatus(const std::string& hostName, const std::string& serialNumber,
                               std::int32_t status) {
    for (ArrayEntry& entry : entries_) {
        if (entry.hostName != hostName) {
            continue;
        }
        for (SubsystemRow& row : entry.rows) {
            if (row.serialNumber == serialNumber) {
                row.status = status;
                SetSymbolStatus(entry);
                return;
            }
        }
        return;
    }
}

void ArrayMap::MergeEntry(const ArrayEntry& fresh) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (fresh.hostName == it->hostName) {
            MergeRows(*it, fresh.rows);
            return;
        }
        if (fresh.hostName < it->hostName) {
            entries_.insert(it, fresh);
            return;
        }
    }
    entries_.push_back(fresh);
}

void ArrayMap::MergeRows(ArrayEntry& entry, const std::vector<SubsystemRow>& rows) {
    for (SubsystemRow& row : entry.rows) {
        row.stale = true;
    }
    for (const SubsystemRow& row : rows) {
        // The table read is newer than every trap taken before it (the
        // agent shows a status in its table before it traps it, and no trap
        // is taken during a read): a status no trap brought is taken here.
        MergeRow(entry.rows, row, true);
    }
}

void ArrayMap::MergeRow(std::vector<SubsystemRow>& rows, const SubsystemRow& row, bool takeStatus) {
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        if (row.serialNumber < it->serialNumber) {
            rows.insert(it, row);
            return;
        }
        if (row.serialNumber == it->serialNumber) {
            it->stale = false;  // its managed flag and object stay
            if (takeStatus) {
                it->status = row.status;
            }
            return;
        }
    }
    rows.push_back(row);
}

void ArrayMap::RefreshObjectInfo(ArrayEntry& entry) {
    if (entry.objectInfo.objectId == 0) {
        entry.objectInfo.objectId = QXwDbHostnameToObjectId(entry.hostName);
    }
    if (entry.objectInfo.objectId == 0) {
        return;
    }
    QXwObjectInfo* info = QXwGetObjectInfo(map_, entry.objectInfo.objectId);
    if (info != nullptr) {
        entry.objectInfo = *info;
        QXwFreeObjectInfo(info);
    }
}

void ArrayMap::CreateArraySymbol(ArrayEntry& entry) {
    RefreshObjectInfo(entry);
    if (entry.objectInfo.objectId == 0 || entry.rows.empty()) {
        return;
    }
    QXwId& submap = entry.objectInfo.childSubmapId;
    if (submap == 0) {
        submap = QXwCreateSubmap(map_, entry.objectInfo.objectId, 1, 0, entry.hostName, 2, 0);
        if (submap == 0) {
            TraceFailure("cannot create the submap of", entry.hostName);
        }
    }
    const std::size_t count = entry.rows.size();
    for (std::size_t i = 0; i < count; ++i) {
        SubsystemRow& row = entry.rows[i];
        bool objectIsNew = false;
        if (row.objectId == 0) {
            const std::string selection = entry.hostName + ":" + row.serialNumber;
            const QXwId id = QXwDbCreateObjectBySelectionName(selection);
            if (!QXwIsIdNull(id)) {
                row.objectId = id;
            } else if (QXwError() == QXW_OBJECT_EXISTS) {
                row.objectId = QXwDbSelectionNameToObjectId(selection);
            } else {
                TraceFailure("cannot create the object", selection);
            }
            objectIsNew = row.objectId != 0;
        }
        // A current row whose symbol is missing gets it back too: a
        // subsystem that disappeared from the agent's table and came back,
        // or one whose symbol could not be made before.
        if (row.objectId == 0 || submap == 0 || (!objectIsNew && row.stale) ||
            FindSymbol(row.objectId, submap) != 0) {
            continue;
        }
        const QXwId symbol = QXwCreateSymbol(map_, submap, row.objectId, kSymbolType,
                                             row.serialNumber, QXW_STATUS_FROM_OBJECT, 1, 0, 2);
        if (QXwIsIdNull(symbol)) {
            TraceFailure("cannot create the symbol of", row.serialNumber);
            continue;
        }
        QXwObjectList objects;
        objects.objects.push_back(QXwObjectRecord{row.objectId, 0});
        QXwSetSymbolBehavior(map_, symbol, QXW_BEHAVIOR_ACTION, QXwGetAppName(), kAction, objects);
    }
}

void ArrayMap::RemoveArraySymbol(ArrayEntry& entry) {
    const QXwId submap = entry.objectInfo.childSubmapId;
    for (std::size_t i = entry.rows.size(); i-- > 0 && submap != 0;) {
        if (!entry.rows[i].stale) {
            continue;
        }
        const QXwId symbol = FindSymbol(entry.rows[i].objectId, submap);
        if (symbol != 0) {
            QXwDeleteSymbol(map_, symbol);
        }
    }
    QXwSubmapInfo* info = QXwGetSubmapInfo(map_, submap);
    if (info == nullptr) {
        return;
    }
    if (info->appName == QXwGetAppName() && CountSymbols(submap) == 0) {
        QXwDeleteSubmap(map_, submap);
    }
    QXwFreeSubmapInfo(info);
}

void ArrayMap::SetSymbolStatus(const ArrayEntry& entry) {
    for (const SubsystemRow& row : entry.rows) {
        if (row.managed && !row.stale && row.objectId != 0) {
            QXwSetStatusOnObject(map_, row.objectId, row.status);
        }
    }
}

void ArrayMap::DeleteRowObjects(ArrayEntry& entry) {
    for (std::size_t i = entry.rows.size(); i-- > 0;) {
        QXwDbDeleteObject(entry.rows[i].objectId);  // a failure changes nothing here
        entry.rows.pop_back();
    }
}

QXwId ArrayMap::FindSymbol(QXwId object, QXwId submap) {
    QXwSymbolList* list = QXwListSymbols(map_, submap, QXW_SYMBOLS_OF_APPLICATION, QXwGetAppName());
    if (list == nullptr) {
        return 0;
    }
    QXwId symbol = 0;
    for (const QXwSymbolRecord& r : list->symbols) {
        if (r.objectId == object) {
            symbol = r.symbolId;
            break;
        }
    }
    QXwFreeSymbolList(list);
    return symbol;
}

std::size_t ArrayMap::CountSymbols(QXwId submap) {
    QXwSymbolList* list = QXwListSymbols(map_, submap, QXW_SYMBOLS_OF_APPLICATION, QXwGetAppName());
    if (list == nullptr) {
        return 0;
    }
    const std::size_t count = list->symbols.size();
    QXwFreeSymbolList(list);
    return count;
}

}  // namespace vxqxoru
