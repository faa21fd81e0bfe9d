// The report definitions file: the saved custom report definitions, one INI
// section each, beside the console program. Listed as tiles in a host list,
// retyped and deleted here; everything else in the file is the host console's.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

constexpr char kReportDefinitionsFile[] = "MERIDAXW_FS_REPORT_DEFINITIONS.INI";
constexpr size_t kSectionNamesBytes = 5000000;
constexpr DWORD kNumberedKeysCounted = 1500;  // of each numbered list
constexpr int kTileWidth = 300;
constexpr int kTileHeight = 125;

// Buttons and the list of the definitions screen.
constexpr uint32_t kReportDefinitionsList = 0x6034010F;
constexpr uint32_t kDeleteDefinitionButton = 0x6031010E;

// One definition's keys, each read up to its longest value, with "*" for a missing key.
struct ReportDefinition {
  const char* name;
  char author_sam[257];
  char author_time[121];
  char report_type[31];
  char output_type[26];
  char ad_name_format[56];
  char email_list[1996];
  char with_eperm[21];
  DWORD paths, ad_objects, ad_attributes;  // the numbered lists, counted to the first missing number
};

// The definitions file: the console program's folder and the file name. FALSE when the
// program's path cannot be had.
BOOL report_definitions_path(char* out, size_t size);
// Reads one section's keys and counts its numbered lists.
void read_report_definition(const char* file, const char* section, ReportDefinition* out);

// The tile's colours by report type: the type text is searched, ignoring case, for
// "access", then for "vertical"; anything else is blue.
void tile_colours(const char* report_type, COLORREF* type_colour, COLORREF* band_colour);
// Draws a definition's 300 x 125 tile and adds it to the image list (or replaces the
// image at index); the image's index, or -1 when it could not be drawn.
int draw_definition_tile(HIMAGELIST images, const ReportDefinition& d, int index, BOOL replace);

// Row data of a definition in the host's definitions list, beside the row context's
// header: the fixed texts, and owned blocks for the name and the e-mail list.
constexpr size_t kDefinitionOutputTypeOffset = 400;   // 26 bytes
constexpr size_t kDefinitionReportTypeOffset = 426;   // 31 bytes
constexpr size_t kDefinitionNameFormatOffset = 457;   // 56 bytes
constexpr size_t kDefinitionEpermOffset = 516;        // u32: 0 when WITH_EPERM is "*", else 132
constexpr size_t kDefinitionImageOffset = 520;        // u32: the tile's image index
constexpr size_t kDefinitionEmailBytes = 2000;
// The name block (its length + 10 bytes) and the e-mail block of a row's record; null when none.
const char* definition_row_name(const BYTE* record);
const char* definition_row_emails(const BYTE* record);

// Fills a definition's row record: the header from the row template (when given), the name and
// e-mail blocks (owned by the record), the texts, the effective-permissions value and the tile's
// image index. FALSE, and no block kept, when no memory is left.
BOOL make_definition_row(const ReportDefinition& d, int image, const BYTE* row_template, BYTE* record);
// Lists the definitions of the file into the host list, one row per section in the file's
// order, each with its tile as image; the row template is the event's list item record.
// The number listed (0 for a missing file or one without sections).
DWORD ListReportDefinitions(HWND list, const BYTE* row_template);

// Writes the report type of a definition. FALSE after "Change Failed" when the file
// cannot be written.
BOOL SetReportDefinitionType(HWND owner, const char* name, const char* report_type);
// The change of report type of the list's selected definition: the CHANGE_REPORT_TYPE
// dialog, the file, and the row's tile and data. FALSE when nothing changed.
BOOL ChangeReportDefinitionType(HWND owner, HWND list);
// Deletes a definition's section after "Click YES to confirm deletion of Report
// Definition %s". FALSE when the user said No or the file could not be written.
BOOL DeleteReportDefinition(HWND owner, const char* name);

// The definitions list's event: the list of a report view gets its columns, any other list
// the report definitions.
DWORD ReportDefinitionsListEvent(HWND list, const BYTE* row_template);
// The delete button: the selected definition of the companion list; the host is then asked
// to refresh the list.
DWORD DeleteDefinitionButton(HWND screen, HWND list);
// Process detach: the tiles' fonts.
void release_definition_tiles();
