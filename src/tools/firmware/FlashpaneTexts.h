// The texts of flashpane's window, its dialogs and its messages: one table,
// looked up by id (the window's own string table).
#pragma once

namespace flashpane {

enum class FlashpaneText {
    // Menu
    MENU_FILE,
    MENU_EXIT,
    MENU_CONFIGURE,
    MENU_VERBOSE,
    MENU_HELP,
    MENU_HELP_CONTENTS,
    MENU_ABOUT,
    // Main dialog
    MAIN_CAPTION,
    HEADING,
    COLUMN_SERIAL,
    COLUMN_FIRMWARE,
    COLUMN_MODEL,
    SELECT_FIRMWARE,
    FIRMWARE_SELECTED,
    DOWNLOAD,
    CANCEL,
    STEP_1,
    STEP_2,
    STEP_3,
    DOWNLOADING,
    DO_NOT_DISTURB,
    // About dialog
    ABOUT_CAPTION,
    ABOUT_TITLE,
    ABOUT_VERSION,
    ABOUT_LINE_1,
    ABOUT_LINE_2,
    ABOUT_OK,
    // Help
    HELP_CAPTION,
    HELP_MISSING,  // format: file
    // File dialog
    FILE_DIALOG_TITLE,
    FILE_FILTER_FIRMWARE,
    FILE_FILTER_ALL,
    FILE_DIALOG_ERROR,  // followed by the error number
    WARNING_CAPTION,
    // Messages
    COMPONENT_MISSING,
    COMPONENT_MISSING_CAPTION,
    OUTPUT_FILE_FAILED,  // format: file, reason
    OUTPUT_FILE_FAILED_CAPTION,
    PROGRAM_FAILED,  // format: program, reason
    PROGRAM_FAILED_CAPTION,
    CLUSTER_WARNING,
    CLUSTER_WARNING_CAPTION,
    CAUTION,
    CAUTION_CAPTION,
    EXIT_0,
    EXIT_1,
    EXIT_2,
    EXIT_3,
    EXIT_4,
    EXIT_OTHER,
    DOWNLOAD_CAPTION,
    DOWNLOAD_FAILED_CAPTION,
    // Download log
    LOG_RULE,
    LOG_COMMAND,
    LOG_LINE_END,
    TEXT_COUNT
};

const char* Text(FlashpaneText id);

}  // namespace flashpane
