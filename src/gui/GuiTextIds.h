// The graphical manager's texts, by their string id.
//
// A string id n is the text of set n / 1000, number n % 1000 of the catalog
// orug<language> (catalogs/en/orugeng.msg). X/Open catalogs have no text
// number 0, so the one text whose id is a multiple of 1000 (5000) is number
// 999 of its set. Texts without an id of their own in the design (menus,
// buttons, dialog labels) are set 6. The names that the profile file and the
// registry use as keys are not texts: they stay the same in every language
// (see ProfileKeys.h).
#pragma once

namespace oru {

struct TextId {
    int set = 0;
    int number = 0;
};

constexpr TextId Tid(int id) {
    return TextId{id / 1000, id % 1000};
}

namespace txt {

// Columns (their names as the list shows them).
inline constexpr TextId kColSerial = Tid(1500);
inline constexpr TextId kColAlias = Tid(1501);
inline constexpr TextId kColModel = Tid(1502);
inline constexpr TextId kColStatus = Tid(1503);
inline constexpr TextId kColTotal = Tid(1504);
inline constexpr TextId kColUnallocated = Tid(1505);
inline constexpr TextId kColHostName = Tid(1506);
inline constexpr TextId kColHostDomain = Tid(1507);
inline constexpr TextId kColHostOs = Tid(1508);

// Frame, views and view settings.
inline constexpr TextId kNewHostView = Tid(2002);
inline constexpr TextId kLocalHostView = Tid(2003);
inline constexpr TextId kAllHostsView = Tid(2004);
inline constexpr TextId kViewOptions = Tid(2009);
inline constexpr TextId kDevicePropertiesTitle = Tid(2010);
inline constexpr TextId kAskDeleteView = Tid(2011);
inline constexpr TextId kPromptExclude = Tid(2019);
inline constexpr TextId kPromptInclude = Tid(2020);
inline constexpr TextId kDiscoveryMayTakeTime = Tid(2025);
inline constexpr TextId kNoHostsInView = Tid(2027);
inline constexpr TextId kDiscovering = Tid(2028);
inline constexpr TextId kBuildingList = Tid(2029);
inline constexpr TextId kCurrentHost = Tid(2030);
inline constexpr TextId kFilterOn = Tid(2031);
inline constexpr TextId kCountSizer = Tid(2032);
inline constexpr TextId kCount = Tid(2033);
inline constexpr TextId kUnknown = Tid(2034);
inline constexpr TextId kGigabytes = Tid(2035);
inline constexpr TextId kTempView = Tid(2044);
inline constexpr TextId kNoHostsForLocalView = Tid(2045);

// Model: discovery, capacities, status evaluation, connections.
inline constexpr TextId kDiscoveryFailed = Tid(4001);
inline constexpr TextId kModelType12 = Tid(4002);
inline constexpr TextId kModelType13 = Tid(4003);
inline constexpr TextId kNoRights = Tid(4004);
inline constexpr TextId kConnectionError = Tid(4005);
inline constexpr TextId kStateNotEnoughDrives = Tid(4006);
inline constexpr TextId kStateNoQuorum = Tid(4007);
inline constexpr TextId kStateNoMap = Tid(4008);
inline constexpr TextId kStateShuttingDown = Tid(4009);
inline constexpr TextId kStateShutDown = Tid(4010);
inline constexpr TextId kStateStartingUp = Tid(4011);
inline constexpr TextId kStateNoCode = Tid(4012);
inline constexpr TextId kStateShutdownWarning = Tid(4013);
inline constexpr TextId kCodeMismatch = Tid(4014);
inline constexpr TextId kControllerMismatch = Tid(4015);
inline constexpr TextId kUnknownError = Tid(4016);
inline constexpr TextId kDataUnavailable = Tid(4017);
inline constexpr TextId kRebuildFailed = Tid(4018);
inline constexpr TextId kNotRedundant = Tid(4019);
inline constexpr TextId kControllerFailed = Tid(4020);
inline constexpr TextId kFanFailed = Tid(4021);
inline constexpr TextId kPowerSupplyFailed = Tid(4022);
inline constexpr TextId kRebuilding = Tid(4023);
inline constexpr TextId kBatteryLow = Tid(4024);
inline constexpr TextId kActiveSpareUnavailable = Tid(4025);
inline constexpr TextId kMissingDrive = Tid(4026);
inline constexpr TextId kUnusedSimm = Tid(4027);
inline constexpr TextId kControllerDisabled = Tid(4028);
inline constexpr TextId kUnmirroredRam = Tid(4029);
inline constexpr TextId kStateChanging = Tid(4030);
inline constexpr TextId kLogSuspended = Tid(4031);
inline constexpr TextId kPredictiveDriveFailure = Tid(4032);
inline constexpr TextId kPredictiveControllerFailure = Tid(4033);
inline constexpr TextId kBalancing = Tid(4034);
inline constexpr TextId kOptimizing = Tid(4035);
inline constexpr TextId kFailedDrive = Tid(4036);
inline constexpr TextId kUnincludedDrive = Tid(4037);
inline constexpr TextId kStatusNormal = Tid(4038);
inline constexpr TextId kStatusCritical = Tid(4039);
inline constexpr TextId kStatusMajor = Tid(4040);
inline constexpr TextId kStatusMinor = Tid(4041);
inline constexpr TextId kStatusWarning = Tid(4042);
inline constexpr TextId kUnknownState = Tid(4043);
inline constexpr TextId kConnectNoRights = Tid(4049);
inline constexpr TextId kConnectAlreadyConnected = Tid(4050);
inline constexpr TextId kConnectNotAvailable = Tid(4051);
inline constexpr TextId kConnectFailed = Tid(4052);
inline constexpr TextId kNoState = Tid(4053);
inline constexpr TextId kStatusNotInUse = Tid(4075);
inline constexpr TextId kStatusEmptySlot = Tid(4076);
inline constexpr TextId kAskKeepWaiting = Tid(4210);
inline constexpr TextId kRecoveryFailed = Tid(4211);
inline constexpr TextId kSingleController = Tid(4212);
inline constexpr TextId kMapLoss = Tid(4213);
inline constexpr TextId kConnectAuthenticationFailed = Tid(4216);
inline constexpr TextId kUnavailable = Tid(4222);

// Messages.
inline constexpr TextId kNameExists = TextId{5, 999};  // string id 5000
inline constexpr TextId kProtectedNoDelete = Tid(5001);
inline constexpr TextId kProtectedNoOptions = Tid(5002);
inline constexpr TextId kSelectAvailableColumn = Tid(5003);
inline constexpr TextId kSelectShownColumn = Tid(5004);
inline constexpr TextId kOneColumnMustRemain = Tid(5005);
inline constexpr TextId kSelectSingleColumn = Tid(5006);
inline constexpr TextId kFilterTextNeeded = Tid(5007);
inline constexpr TextId kSelectExcludeFilter = Tid(5008);
inline constexpr TextId kSelectIncludeFilter = Tid(5009);
inline constexpr TextId kSelectSortColumn = Tid(5010);
inline constexpr TextId kLocalHostNameError = Tid(5011);
inline constexpr TextId kSelectKnownHost = Tid(5012);
inline constexpr TextId kSelectSpecifiedHost = Tid(5013);
inline constexpr TextId kHostNameNeeded = Tid(5014);
inline constexpr TextId kSelectDevice = Tid(5015);

// Set 6: the program's own texts.
// Application and frame.
inline constexpr TextId kAppTitle = TextId{6, 1};
inline constexpr TextId kMenuFile = TextId{6, 2};
inline constexpr TextId kMenuExit = TextId{6, 3};
inline constexpr TextId kMenuDevice = TextId{6, 4};
inline constexpr TextId kMenuProperties = TextId{6, 5};
inline constexpr TextId kMenuExpand = TextId{6, 6};
inline constexpr TextId kMenuView = TextId{6, 7};
inline constexpr TextId kMenuViewOptions = TextId{6, 8};
inline constexpr TextId kMenuSelectHosts = TextId{6, 9};
inline constexpr TextId kMenuNewView = TextId{6, 10};
inline constexpr TextId kMenuDeleteView = TextId{6, 11};
inline constexpr TextId kMenuToolbar = TextId{6, 12};
inline constexpr TextId kMenuStatusBar = TextId{6, 13};
inline constexpr TextId kMenuHelp = TextId{6, 14};
inline constexpr TextId kMenuAbout = TextId{6, 15};
inline constexpr TextId kMenuWebPage = TextId{6, 16};
inline constexpr TextId kToolbarName = TextId{6, 17};
inline constexpr TextId kMultipleDevices = TextId{6, 18};
inline constexpr TextId kWebPageFailed = TextId{6, 19};
inline constexpr TextId kOk = TextId{6, 20};
inline constexpr TextId kCancel = TextId{6, 21};
inline constexpr TextId kYes = TextId{6, 22};
inline constexpr TextId kNo = TextId{6, 23};
inline constexpr TextId kPleaseWait = TextId{6, 24};
// View names.
inline constexpr TextId kViewNameInvalid = TextId{6, 30};
// About (dialog 100).
inline constexpr TextId kAboutTitle = TextId{6, 40};
inline constexpr TextId kAboutProduct = TextId{6, 41};
inline constexpr TextId kAboutVersion = TextId{6, 42};
inline constexpr TextId kAboutRights = TextId{6, 43};
// Add Filter (dialog 144).
inline constexpr TextId kAddFilterTitle = TextId{6, 50};
inline constexpr TextId kWildcardNote = TextId{6, 51};
// Create a View (dialog 130).
inline constexpr TextId kCreateViewTitle = TextId{6, 60};
inline constexpr TextId kCreateViewPrompt = TextId{6, 61};
// Discover Hosts (dialog 145).
inline constexpr TextId kDiscoverTitle = TextId{6, 70};
inline constexpr TextId kAutomaticDiscovery = TextId{6, 71};
inline constexpr TextId kSpecifiedHost = TextId{6, 72};
inline constexpr TextId kClearHostList = TextId{6, 73};
// Select Device (dialog 136).
inline constexpr TextId kSelectDeviceTitle = TextId{6, 80};
// View Options pages (dialogs 132, 133, 134).
inline constexpr TextId kColumnsPage = TextId{6, 90};
inline constexpr TextId kAvailableColumns = TextId{6, 91};
inline constexpr TextId kShownColumns = TextId{6, 92};
inline constexpr TextId kAdd = TextId{6, 93};
inline constexpr TextId kRemove = TextId{6, 94};
inline constexpr TextId kMoveUp = TextId{6, 95};
inline constexpr TextId kMoveDown = TextId{6, 96};
inline constexpr TextId kFilterPage = TextId{6, 97};
inline constexpr TextId kFilterColumn = TextId{6, 98};
inline constexpr TextId kEnableFilter = TextId{6, 99};
inline constexpr TextId kIncludeFilters = TextId{6, 100};
inline constexpr TextId kExcludeFilters = TextId{6, 101};
inline constexpr TextId kAddInclude = TextId{6, 102};
inline constexpr TextId kRemoveInclude = TextId{6, 103};
inline constexpr TextId kAddExclude = TextId{6, 104};
inline constexpr TextId kRemoveExclude = TextId{6, 105};
inline constexpr TextId kSortPage = TextId{6, 106};
inline constexpr TextId kSortOrder = TextId{6, 107};
inline constexpr TextId kAscending = TextId{6, 108};
inline constexpr TextId kDescending = TextId{6, 109};
// Select Hosts (dialog 131).
inline constexpr TextId kSelectHostsTitle = TextId{6, 120};
inline constexpr TextId kAllKnownHosts = TextId{6, 121};
inline constexpr TextId kSpecifiedHosts = TextId{6, 122};
inline constexpr TextId kKnownHosts = TextId{6, 123};
inline constexpr TextId kChosenHosts = TextId{6, 124};
inline constexpr TextId kDiscover = TextId{6, 125};

}  // namespace txt
}  // namespace oru
