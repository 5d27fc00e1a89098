#include "tools/firmware/FlashpaneTexts.h"

#include <array>
#include <cstddef>
#include <utility>

namespace flashpane {
namespace {

using T = FlashpaneText;
using Entry = std::pair<FlashpaneText, const char*>;

// Kept in the order of the enumeration; the check below keeps it so.
constexpr std::array<Entry, static_cast<std::size_t>(T::TEXT_COUNT)> kTexts{{
    {T::MENU_FILE, "&File"},
    {T::MENU_EXIT, "E&xit"},
    {T::MENU_CONFIGURE, "&Configure"},
    {T::MENU_VERBOSE, "&Verbose Output"},
    {T::MENU_HELP, "&Help"},
    {T::MENU_HELP_CONTENTS, "&flashpane Help"},
    {T::MENU_ABOUT, "&About flashpane"},
    {T::MAIN_CAPTION, "Strovane Controller Firmware Download"},
    {T::HEADING, "The following arrays were discovered on this host."},
    {T::COLUMN_SERIAL, "  Array s/n"},
    {T::COLUMN_FIRMWARE, "Current f/w"},
    {T::COLUMN_MODEL, "Model no."},
    {T::SELECT_FIRMWARE, "Select Firmware File"},
    {T::FIRMWARE_SELECTED, "Firmware file selected"},
    {T::DOWNLOAD, "Download"},
    {T::CANCEL, "Cancel"},
    {T::STEP_1, "1. Select array for the firmware download in the list above."},
    {T::STEP_2, "2. Select the firmware file to be downloaded."},
    {T::STEP_3, "3. Select Download. (Download can take as much as 5 minutes.)"},
    {T::DOWNLOADING, "Downloading Firmware to Selected Array"},
    {T::DO_NOT_DISTURB, "Do Not Disturb Until Completed."},
    {T::ABOUT_CAPTION, "About Firmware Download"},
    {T::ABOUT_TITLE, "Controller Download"},
    {T::ABOUT_VERSION, "Version 3.20"},
    {T::ABOUT_LINE_1, "Writes new firmware into the controllers of a Strovane array."},
    {T::ABOUT_LINE_2, "It runs the download program and reports what became of it."},
    {T::ABOUT_OK, "&Ok"},
    {T::HELP_CAPTION, "flashpane Help"},
    {T::HELP_MISSING, "The help file %1 could not be read."},
    {T::FILE_DIALOG_TITLE, "SELECT FW FILE"},
    {T::FILE_FILTER_FIRMWARE, "Firmware Files (*.fw)"},
    {T::FILE_FILTER_ALL, "All Files (*)"},
    {T::FILE_DIALOG_ERROR, "GetOpenFileName returned Error #"},
    {T::WARNING_CAPTION, "WARNING"},
    {T::COMPONENT_MISSING,
     "The command line program DOWNLOAD.EXE\nmust be in the same directory as flashpane\nfor "
     "flashpane to run"},
    {T::COMPONENT_MISSING_CAPTION, "Component Missing"},
    {T::OUTPUT_FILE_FAILED,
     "The file %1 for the output of the download program\ncould not be created: %2"},
    {T::OUTPUT_FILE_FAILED_CAPTION, "Output File Not Created"},
    {T::PROGRAM_FAILED, "The command line program %1\ncould not be started: %2"},
    {T::PROGRAM_FAILED_CAPTION, "Download Not Started"},
    {T::CLUSTER_WARNING,
     "Warning:\n\nIt appears that this system is currently running in a Clustered "
     "environment.\n\nNOTE 1: It is required that the other node of the cluster is shutdown or "
     "disconnected from the Strovane for proper firmware download.  Make sure that this is done "
     "before continuing.\n\nNOTE 2: Issuing a firmware download to VX Strovane disk arrays that "
     "are used in a cluster as shared storage will cause the clustering software to time-out.  "
     "While the clustering software should recover normally, this time-out will disrupt the "
     "system and users for several minutes.\n\nIt is important to ensure the VX Strovane disk "
     "arrays are running current firmware, and it is recommended that you now proceed with the "
     "firmware download.  However, if system disruption is a concern, you should postpone the "
     "download until a more suitable time can be arranged."},
    {T::CLUSTER_WARNING_CAPTION, "Cluster Warning"},
    {T::CAUTION,
     " Downloading Firmware will take several minutes. \n \nIt is strongly recommended that you "
     "not run other windows applications while you are downloading firmware to your array.\n "
     "\nYou can click cancel now and exit other applications.\n \nAlthough every effort has been "
     "made to protect the data on your array, loading an older version of firmware could cause "
     "data loss. It is recommended that if you have any question, back up your data before "
     "attempting a firmware download.\n \nThe Firmware download window will not be active again "
     "until the Strovane device returns to the ready status as indicated on the array front "
     "panel.\n \nDo not disturb until the operation is complete!"},
    {T::CAUTION_CAPTION, "CAUTION"},
    {T::EXIT_0, "The download was successful,\n Press OK to continue."},
    {T::EXIT_1,
     "Error! Download did not complete (1)\nPlease select a firmware file and try again."},
    {T::EXIT_2, "Error! Download did not complete (2)\nPlease select an Array and try again."},
    {T::EXIT_3,
     "Error! Download did not complete (3)\nThis may be due to a SCSI timeout, Driver\ntimeout, "
     "or an Internal timeout."},
    {T::EXIT_4, "Unknown error! Download did not complete (4)"},
    {T::EXIT_OTHER, "Unknown Error Code"},
    {T::DOWNLOAD_CAPTION, "Strovane Download"},
    {T::DOWNLOAD_FAILED_CAPTION, "Strovane Download Failed "},
    {T::LOG_RULE, "***********************\r\n"},
    {T::LOG_COMMAND,
     "*** Controller firmware download was done with the following command:\r\n*** "},
    {T::LOG_LINE_END, "\r\n"},
}};

constexpr bool InOrder() {
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        if (static_cast<std::size_t>(kTexts[i].first) != i)
            return false;
    }
    return true;
}
static_assert(InOrder(), "flashpane texts out of the enumeration's order");

}  // namespace

const char* Text(FlashpaneText id) {
    const auto i = static_cast<std::size_t>(id);
    return i < kTexts.size() ? kTexts[i].second : "";
}

}  // namespace flashpane
