// xunpan-cli: the window's lookup for many product IDs, with results as a table, CSV or JSON lines.
//
//   xunpan-cli --format csv < ids.txt > results.csv
//
// The pieces are split out so that tests can drive them without a terminal: argument parsing, the record
// of one lookup, and the three output formats. All strings here are UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "text/types.h"

enum class CliFormat { table, csv, json };

struct CliOptions {
    CliFormat format = CliFormat::table;
    std::string images_dir;        // empty: images are not saved
    double delay_seconds = 1.0;    // between two lookups
    std::vector<std::string> ids;  // empty: read from standard input
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name; on a usage error returns the one-line message.
struct CliParse {
    CliOptions options;
    std::string error;
};
CliParse cli_parse_args(const std::vector<std::string>& args);

// IDs from input text: one per line, blank lines and lines beginning with '#' skipped, line ends dropped.
std::vector<std::string> cli_ids_from_lines(const std::string& input);

struct LookupRecord {
    std::string id;
    std::string status;  // "ok", "no data", "blocked" or "no response"
    std::string inquiries;
    std::string viewers;
    std::string image_url;   // absolute, or empty when the page had none
    std::string detail_url;  // absolute, or empty when the page had none
    std::optional<int64_t> inquiries_count;
    std::optional<int64_t> viewers_count;
    int64_t image_bytes = 0;
    std::string image_type;  // png, jpeg, gif, bmp, ico, pcx or empty
    std::string page_url;
    ByteSet image;
};

// Runs one lookup the way the window does (same page request, markers and image request).
LookupRecord cli_lookup(const Text& id);
// The record for a page body; `fetch_image` makes the image request for the URL the page gives.
LookupRecord cli_make_record(const Text& id,
                             const ByteSet& page_body,
                             const std::function<ByteSet(const Text&)>& fetch_image);

// "1,234+" -> 1234; no number (empty, words, a fraction) -> nullopt.
std::optional<int64_t> cli_count(const std::string& text);
// A code page 936 Text as UTF-8.
std::string cli_utf8(const Text& text);

std::string cli_csv_header();
std::string cli_csv_row(const LookupRecord& r);
std::string cli_json_line(const LookupRecord& r);
std::string cli_table(const std::vector<LookupRecord>& records);

// The whole tool; returns the exit status (0 all ok, 1 some not ok, 2 usage error).
int cli_main(const std::vector<std::string>& args, const std::string& program_version);
