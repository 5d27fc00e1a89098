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

// Device Properties sheet: shared words and the chart's texts.
inline constexpr TextId kYesWord = Tid(2036);
inline constexpr TextId kNoWord = Tid(2037);
inline constexpr TextId kHighWord = Tid(2038);
inline constexpr TextId kLowWord = Tid(2039);
inline constexpr TextId kNoneWord = Tid(2040);
inline constexpr TextId kLabelFont = Tid(2041);
inline constexpr TextId kNoon = Tid(2042);
inline constexpr TextId kMonthDay = Tid(2043);
// Status page.
inline constexpr TextId kTreeArray = Tid(4044);
inline constexpr TextId kTreeControllers = Tid(4045);
inline constexpr TextId kTreeDisks = Tid(4046);
inline constexpr TextId kTreeFans = Tid(4047);
inline constexpr TextId kTreePowerSupplies = Tid(4048);
inline constexpr TextId kControllerX = Tid(4054);
inline constexpr TextId kControllerY = Tid(4055);
inline constexpr TextId kDiskA = Tid(4056);
inline constexpr TextId kDiskB = Tid(4057);
inline constexpr TextId kFanN = Tid(4058);
inline constexpr TextId kPowerSupplyN = Tid(4059);
inline constexpr TextId kLineCondition = Tid(4060);
inline constexpr TextId kLineSerialNumber = Tid(4061);
inline constexpr TextId kLineActiveSpare = Tid(4062);
inline constexpr TextId kLineAutoInclude = Tid(4063);
inline constexpr TextId kLineAutoRebuild = Tid(4064);
inline constexpr TextId kLineRebuildPriority = Tid(4065);
inline constexpr TextId kLineState = Tid(4066);
inline constexpr TextId kPrimary = Tid(4067);
inline constexpr TextId kSecondary = Tid(4068);
inline constexpr TextId kLineScsiAddress = Tid(4069);
inline constexpr TextId kLineVendor = Tid(4070);
inline constexpr TextId kLineModel = Tid(4071);
inline constexpr TextId kLineDriveSerial = Tid(4072);
inline constexpr TextId kLineFirmware = Tid(4073);
inline constexpr TextId kLineSimmUsage = Tid(4074);
inline constexpr TextId kDriveNotIncluded = Tid(4077);
inline constexpr TextId kDriveDowned = Tid(4078);
inline constexpr TextId kDrivePreviouslyUsed = Tid(4079);
inline constexpr TextId kDriveNotSupported = Tid(4080);
inline constexpr TextId kDriveIncludeFailed = Tid(4081);
inline constexpr TextId kDriveDraining = Tid(4082);
inline constexpr TextId kDriveDrained = Tid(4083);
inline constexpr TextId kDriveDrainHold = Tid(4084);
inline constexpr TextId kDriveLogging = Tid(4085);
inline constexpr TextId kDriveUnusedLog = Tid(4086);
inline constexpr TextId kDriveFailedLog = Tid(4087);
inline constexpr TextId kDriveFullLog = Tid(4088);
inline constexpr TextId kFailed = Tid(4089);
inline constexpr TextId kLineVolumeSet = Tid(4090);
inline constexpr TextId kLineCapacity = Tid(4091);
inline constexpr TextId kLineProductRevision = Tid(4092);
inline constexpr TextId kLineAliasName = Tid(4093);
// Configuration page.
inline constexpr TextId kResiliencyUnknown = Tid(4094);
inline constexpr TextId kErrAutoInclude = Tid(4095);
inline constexpr TextId kErrActiveSpare = Tid(4096);
inline constexpr TextId kErrAlias = Tid(4097);
inline constexpr TextId kErrResiliency = Tid(4098);
inline constexpr TextId kErrAddressX = Tid(4099);
inline constexpr TextId kErrAddressY = Tid(4100);
inline constexpr TextId kErrVeryEarlyBusy = Tid(4101);
inline constexpr TextId kErrRebuildType = Tid(4102);
inline constexpr TextId kErrRebuildPriority = Tid(4103);
inline constexpr TextId kErrStartRebuild = Tid(4104);
inline constexpr TextId kErrStopRebuild = Tid(4105);
// Logical Drives page.
inline constexpr TextId kNoUnallocated = Tid(4106);
inline constexpr TextId kNoFreeNumber = Tid(4107);
inline constexpr TextId kCapacityTooLarge = Tid(4108);
inline constexpr TextId kCapacityTooSmall = Tid(4109);
inline constexpr TextId kErrCreateLun = Tid(4110);
inline constexpr TextId kSelectLun = Tid(4111);
inline constexpr TextId kErrRenumberLun = Tid(4112);
inline constexpr TextId kErrDeleteLun = Tid(4113);
inline constexpr TextId kAskDeleteLun = Tid(4114);
inline constexpr TextId kErrFormatLun = Tid(4115);
inline constexpr TextId kAskFormatLun = Tid(4116);
// Diagnostics page.
inline constexpr TextId kSelectDisk = Tid(4117);
inline constexpr TextId kCannotInclude = Tid(4118);
inline constexpr TextId kCannotDown = Tid(4119);
inline constexpr TextId kCannotTestEmpty = Tid(4120);
inline constexpr TextId kErrInclude = Tid(4121);
inline constexpr TextId kTestReadVerify = Tid(4122);
inline constexpr TextId kTestWriteRead = Tid(4123);
inline constexpr TextId kTestInitFailed = Tid(4124);
inline constexpr TextId kTestPassed = Tid(4125);
inline constexpr TextId kTestInProgress = Tid(4126);
inline constexpr TextId kTestCancelled = Tid(4127);
inline constexpr TextId kErrStartTest = Tid(4128);
inline constexpr TextId kWarnVerify = Tid(4129);
inline constexpr TextId kWarnWriteRead = Tid(4130);
inline constexpr TextId kEnterValidPercent = Tid(4131);
inline constexpr TextId kCannotTestNow = Tid(4132);
inline constexpr TextId kErrDown = Tid(4133);
inline constexpr TextId kErrShutdown = Tid(4134);
inline constexpr TextId kErrRestart = Tid(4135);
inline constexpr TextId kErrReset = Tid(4136);
inline constexpr TextId kErrFormatArray = Tid(4137);
inline constexpr TextId kCannotShutdown = Tid(4138);
inline constexpr TextId kAskShutdown = Tid(4139);
inline constexpr TextId kCannotRestart = Tid(4140);
inline constexpr TextId kCannotReset = Tid(4141);
inline constexpr TextId kAskReset = Tid(4142);
inline constexpr TextId kCannotFormatArray = Tid(4143);
inline constexpr TextId kDownBeforeWriteRead = Tid(4144);
inline constexpr TextId kAskFormatArray = Tid(4145);
inline constexpr TextId kErrSwitch = Tid(4146);
inline constexpr TextId kCannotSwitch = Tid(4147);
inline constexpr TextId kAskSwitch = Tid(4148);
inline constexpr TextId kErrRetryLog = Tid(4149);
// Capacity page.
inline constexpr TextId kCapLogicalDrives = Tid(4150);
inline constexpr TextId kCapUnallocated = Tid(4151);
inline constexpr TextId kCapActiveSpare = Tid(4152);
inline constexpr TextId kCapRedundancy = Tid(4153);
inline constexpr TextId kCapUnincluded = Tid(4154);
inline constexpr TextId kCapTotal = Tid(4155);
// Performance page.
inline constexpr TextId kHours = Tid(4156);
inline constexpr TextId kSeriesRelocate = Tid(4157);
inline constexpr TextId kSeriesWorkingSet = Tid(4158);
inline constexpr TextId kSeriesCacheUtil = Tid(4159);
inline constexpr TextId kSeriesDiskQueue = Tid(4160);
inline constexpr TextId kSeriesConcurrency = Tid(4161);
inline constexpr TextId kSeriesRebuild = Tid(4162);
inline constexpr TextId kSeriesDisks = Tid(4163);
inline constexpr TextId kSeriesUnallocated = Tid(4164);
inline constexpr TextId kSeriesRaid01 = Tid(4165);
inline constexpr TextId kSeriesKbPerSec = Tid(4166);
inline constexpr TextId kSeriesIoPerSec = Tid(4167);
inline constexpr TextId kDaysHours = Tid(4168);
inline constexpr TextId kNoRecommendations = Tid(4169);
inline constexpr TextId kRecommendation2 = Tid(4170);
inline constexpr TextId kRecommendation12 = Tid(4171);
inline constexpr TextId kRecommendation13 = Tid(4172);
inline constexpr TextId kRecommendation14 = Tid(4173);
inline constexpr TextId kRecommendation11 = Tid(4174);
inline constexpr TextId kRecommendation3 = Tid(4175);
inline constexpr TextId kRecommendation4 = Tid(4176);
inline constexpr TextId kRecommendation5 = Tid(4177);
inline constexpr TextId kRecommendation6 = Tid(4178);
inline constexpr TextId kRecommendation7 = Tid(4179);
inline constexpr TextId kRecommendation8 = Tid(4180);
inline constexpr TextId kRecommendation9 = Tid(4181);
inline constexpr TextId kRecommendation10 = Tid(4182);
inline constexpr TextId kRecommendation15 = Tid(4183);
inline constexpr TextId kRecommendation1 = Tid(4184);
inline constexpr TextId kCondVolumeSet = Tid(4185);
inline constexpr TextId kCondRebuilding = Tid(4186);
inline constexpr TextId kCondNvram = Tid(4187);
inline constexpr TextId kCondDram = Tid(4188);
inline constexpr TextId kCondDataUnavailable = Tid(4189);
inline constexpr TextId kCondFailover = Tid(4190);
inline constexpr TextId kCondLongTest = Tid(4191);
inline constexpr TextId kCondDriveCount = Tid(4192);
inline constexpr TextId kCondInvalidLog = Tid(4193);
inline constexpr TextId kCondRedundancyLoss = Tid(4194);
inline constexpr TextId kErrPerfRecs = Tid(4195);
inline constexpr TextId kErrPerfMetrics = Tid(4196);
inline constexpr TextId kPassed6 = Tid(4197);
inline constexpr TextId kPassed7 = Tid(4198);
inline constexpr TextId kPassed8 = Tid(4199);
inline constexpr TextId kPassed9 = Tid(4200);
inline constexpr TextId kPassed10 = Tid(4201);
inline constexpr TextId kPassed16 = Tid(4202);
inline constexpr TextId kIntervalText = Tid(4203);
inline constexpr TextId kFailed6 = Tid(4204);
inline constexpr TextId kFailed7 = Tid(4205);
inline constexpr TextId kFailed8 = Tid(4206);
inline constexpr TextId kFailed9 = Tid(4207);
inline constexpr TextId kFailed10 = Tid(4208);
inline constexpr TextId kFailed16 = Tid(4209);
inline constexpr TextId kBatteryFailure = Tid(4214);
inline constexpr TextId kBatteryWarning = Tid(4215);
inline constexpr TextId kSwitched = Tid(4217);
inline constexpr TextId kRestarted = Tid(4218);
inline constexpr TextId kShutDown = Tid(4219);
inline constexpr TextId kPageNotAvailable = Tid(4220);
inline constexpr TextId kAutoRebuildToManual = Tid(4221);
inline constexpr TextId kTestFailedChunks = Tid(4223);  // count, first block
// A request carried out whose reply says nothing failed, with the word the
// service adds (by qualifier).
inline constexpr TextId kDoneNoSpare = Tid(4240);
inline constexpr TextId kDoneAlreadyDown = Tid(4241);
inline constexpr TextId kDoneWithNote = Tid(4242);

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

// Device Properties sheet (dialogs 137 to 162).
inline constexpr TextId kPageStatus = TextId{6, 130};
inline constexpr TextId kPageConfiguration = TextId{6, 131};
inline constexpr TextId kPageLogicalDrives = TextId{6, 132};
inline constexpr TextId kPageDiagnostics = TextId{6, 133};
inline constexpr TextId kPageCapacity = TextId{6, 134};
inline constexpr TextId kPagePerformance = TextId{6, 135};
inline constexpr TextId kApply = TextId{6, 136};
inline constexpr TextId kRefresh = TextId{6, 137};
inline constexpr TextId kNotShown = TextId{6, 138};
inline constexpr TextId kNoPerfData = TextId{6, 139};
// Configuration page.
inline constexpr TextId kAutoInclude = TextId{6, 140};
inline constexpr TextId kActiveSpareEnable = TextId{6, 141};
inline constexpr TextId kAliasName = TextId{6, 142};
inline constexpr TextId kDataResiliency = TextId{6, 143};
inline constexpr TextId kResSingleController = TextId{6, 144};
inline constexpr TextId kResHighPerformance = TextId{6, 145};
inline constexpr TextId kResNormal = TextId{6, 146};
inline constexpr TextId kResSecure = TextId{6, 147};
inline constexpr TextId kAddressX = TextId{6, 148};
inline constexpr TextId kAddressY = TextId{6, 149};
inline constexpr TextId kVeryEarlyBusy = TextId{6, 150};
inline constexpr TextId kRebuildType = TextId{6, 151};
inline constexpr TextId kRebuildAutomatic = TextId{6, 152};
inline constexpr TextId kRebuildManual = TextId{6, 153};
inline constexpr TextId kRebuildPriority = TextId{6, 154};
inline constexpr TextId kPriorityLow = TextId{6, 155};
inline constexpr TextId kPriorityHigh = TextId{6, 156};
inline constexpr TextId kRebuildGroup = TextId{6, 157};
inline constexpr TextId kRebuildStart = TextId{6, 158};
inline constexpr TextId kRebuildStop = TextId{6, 159};
inline constexpr TextId kSettingsGroup = TextId{6, 160};
inline constexpr TextId kScsiGroup = TextId{6, 161};
// Logical Drives page and its dialogs (156, 157).
inline constexpr TextId kLunCreate = TextId{6, 170};
inline constexpr TextId kLunRenumber = TextId{6, 171};
inline constexpr TextId kLunDelete = TextId{6, 172};
inline constexpr TextId kLunFormat = TextId{6, 173};
inline constexpr TextId kCreateLunTitle = TextId{6, 174};
inline constexpr TextId kCreateLunCapacity = TextId{6, 175};
inline constexpr TextId kCreateLunUnallocated = TextId{6, 176};
inline constexpr TextId kCreateLunNumber = TextId{6, 177};
inline constexpr TextId kRenumberTitle = TextId{6, 178};
inline constexpr TextId kRenumberPresent = TextId{6, 179};
inline constexpr TextId kRenumberNew = TextId{6, 180};
inline constexpr TextId kLunListHeading = TextId{6, 181};
// Diagnostics page and its dialogs (158, 159, 160).
inline constexpr TextId kGroupDisks = TextId{6, 190};
inline constexpr TextId kGroupArray = TextId{6, 191};
inline constexpr TextId kGroupControllers = TextId{6, 192};
inline constexpr TextId kGroupLogs = TextId{6, 193};
inline constexpr TextId kDiskInclude = TextId{6, 194};
inline constexpr TextId kDiskDown = TextId{6, 195};
inline constexpr TextId kDiskTest = TextId{6, 196};
inline constexpr TextId kArrayShutdown = TextId{6, 197};
inline constexpr TextId kArrayRestart = TextId{6, 198};
inline constexpr TextId kArrayReset = TextId{6, 199};
inline constexpr TextId kArrayFormat = TextId{6, 200};
inline constexpr TextId kSwitchToY = TextId{6, 201};
inline constexpr TextId kSwitchToX = TextId{6, 202};
inline constexpr TextId kLogRestart = TextId{6, 203};
inline constexpr TextId kLogView = TextId{6, 204};
inline constexpr TextId kLogClear = TextId{6, 205};
inline constexpr TextId kTestDiskTitle = TextId{6, 206};
inline constexpr TextId kTestType = TextId{6, 207};
inline constexpr TextId kTestStatus = TextId{6, 208};
inline constexpr TextId kTestReadVerifyButton = TextId{6, 209};
inline constexpr TextId kTestWriteReadButton = TextId{6, 210};
inline constexpr TextId kTestAbort = TextId{6, 211};
inline constexpr TextId kClose = TextId{6, 212};
inline constexpr TextId kDownDiskTitle = TextId{6, 213};
inline constexpr TextId kDownNoLoss = TextId{6, 214};
inline constexpr TextId kDownRedundancy = TextId{6, 215};
inline constexpr TextId kDownAll = TextId{6, 216};
inline constexpr TextId kPercentTitle = TextId{6, 217};
inline constexpr TextId kPercentLabel = TextId{6, 218};
inline constexpr TextId kControllerLogTitle = TextId{6, 219};
inline constexpr TextId kControllerLogEntry = TextId{6, 220};
inline constexpr TextId kControllerLogEmpty = TextId{6, 221};
inline constexpr TextId kAskClearControllerLog = TextId{6, 222};
inline constexpr TextId kErrReadControllerLog = TextId{6, 223};
inline constexpr TextId kControllerLogCleared = TextId{6, 224};
inline constexpr TextId kDownDiskPrompt = TextId{6, 225};
inline constexpr TextId kControllerN = TextId{6, 226};
// What a wait is for, in the main window's status bar.
inline constexpr TextId kWaitingForArray = TextId{6, 227};
// The command line's identifier names more than one array of its host.
inline constexpr TextId kAmbiguousArray = TextId{6, 228};
// Performance page and its dialog (162).
inline constexpr TextId kViewEvents = TextId{6, 230};
inline constexpr TextId kViewThresholds = TextId{6, 231};
inline constexpr TextId kRecommend = TextId{6, 232};
inline constexpr TextId kRecommendTitle = TextId{6, 233};

}  // namespace txt
}  // namespace oru
