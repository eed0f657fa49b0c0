#include "app/cli.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "app/cli_io.h"
#include "http/web_fetch.h"
#include "lookup/lookup.h"
#include "text/codepage.h"
#include "text/primitives.h"
#include "ui/image_format.h"

namespace {

constexpr const char* kUsage =
    "usage: xunpan-cli [--format table|csv|json] [--images DIR] [--delay SECONDS] [ID ...]\n"
    "\n"
    "Looks up each product ID on the marketplace, as the Xunpan window does, and prints one record per ID:\n"
    "the category's inquiries over six months, the viewers, the image and the detail page URL.\n"
    "Without IDs, reads them from standard input, one per line (blank lines and lines beginning with # are\n"
    "skipped).\n"
    "\n"
    "  --format FORMAT   table (default, for a terminal), csv (with a header row, UTF-8 with a byte-order\n"
    "                    mark) or json (one object per line)\n"
    "  --images DIR      save each product image as DIR/<id>.<type>\n"
    "  --delay SECONDS   pause between two lookups (default 1), to stay under the marketplace's rate limits\n"
    "  --help            show this help\n"
    "  --version         show the version\n"
    "\n"
    "Exit status: 0 when every ID came back ok, 1 otherwise, 2 for a usage error.\n";

// Pages the marketplace serves instead of data when it suspects a robot or wants a sign-in: a slider or
// captcha check, or a login form.
constexpr const char* kBlockedSigns[] = {"captcha", "punish",          "x5sec",
                                         "slider",  "unusual traffic", "type=\"password\""};

bool page_is_blocked(const Text& page) {
    for (const char* sign : kBlockedSigns) {
        if (txt_find(page, sign, std::nullopt, true) != -1) return true;
    }
    return false;
}

bool all_digits(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::string csv_field(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string count_text(const std::optional<int64_t>& n) {
    return n ? std::to_string(*n) : std::string();
}

// Columns a terminal gives a UTF-8 string: East Asian wide characters take two.
size_t display_width(const std::string& s) {
    size_t width = 0;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        width += len >= 3 ? 2 : 1;
        i += len;
    }
    return width;
}

// A file name for an ID that keeps every write inside the images directory, whatever the ID holds.
std::string safe_file_stem(const std::string& id) {
    std::string stem;
    for (unsigned char c : id) {
        bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_';
        stem += keep ? static_cast<char>(c) : '_';
    }
    return stem.empty() ? "_" : stem;
}

bool directory_writable(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) return false;
    auto probe = std::filesystem::path(dir) / ".xunpan-cli-probe";
    {
        std::ofstream f(probe, std::ios::binary);
        if (!f) return false;
    }
    std::filesystem::remove(probe, ec);
    return true;
}

// The image's kind as a file type, behind the same first-bytes gate the picture box uses.
std::string image_type_name(const ByteSet& image) {
    switch (image_format_of(image.bytes())) {
        case ImageFormat::kJpeg: return "jpeg";
        case ImageFormat::kBmp: return "bmp";
        case ImageFormat::kPng: return "png";
        case ImageFormat::kGif: return "gif";
        case ImageFormat::kIcon: return "ico";
        case ImageFormat::kPcx: return "pcx";
        case ImageFormat::kNone: break;
    }
    return "";
}

}  // namespace

CliParse cli_parse_args(const std::vector<std::string>& args) {
    CliParse p;
    auto fail = [&p](std::string message) {
        p.error = std::move(message);
        return p;
    };
    bool options_done = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (options_done || a.size() < 2 || a[0] != '-') {
            p.options.ids.push_back(a);
            continue;
        }
        if (a == "--") {
            options_done = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            p.options.help = true;
            continue;
        }
        if (a == "--version") {
            p.options.version = true;
            continue;
        }
        std::string name = a, value;
        bool has_value = false;
        if (auto eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            has_value = true;
        }
        if (name != "--format" && name != "--images" && name != "--delay") return fail("unknown option '" + a + "'");
        if (!has_value) {
            if (i + 1 >= args.size()) return fail("option '" + name + "' needs a value");
            value = args[++i];
        }
        if (name == "--format") {
            if (value == "table")
                p.options.format = CliFormat::table;
            else if (value == "csv")
                p.options.format = CliFormat::csv;
            else if (value == "json")
                p.options.format = CliFormat::json;
            else
                return fail("unknown format '" + value + "' (use table, csv or json)");
        } else if (name == "--images") {
            if (value.empty()) return fail("option '--images' needs a directory");
            p.options.images_dir = value;
        } else {
            char* end = nullptr;
            double d = std::strtod(value.c_str(), &end);
            if (value.empty() || end != value.c_str() + value.size() || !std::isfinite(d) || d < 0 || d > 86400) {
                return fail("bad delay '" + value + "' (seconds, from 0 to 86400)");
            }
            p.options.delay_seconds = d;
        }
    }
    return p;
}

std::vector<std::string> cli_ids_from_lines(const std::string& input) {
    std::vector<std::string> ids;
    std::istringstream in(input);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        if (line[0] == '#') continue;
        ids.push_back(line);
    }
    return ids;
}

std::string cli_utf8(const Text& text) {
    return utf16_to_multibyte(multibyte_to_utf16(text, kCodePageGbk), kCodePageUtf8).bytes();
}

std::optional<int64_t> cli_count(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c != ',' && c != '+' && c != ' ') digits += c;
    }
    if (!all_digits(digits) || digits.size() > 18) return std::nullopt;
    return std::stoll(digits);
}

LookupRecord cli_make_record(const Text& id,
                             const ByteSet& page_body,
                             const std::function<ByteSet(const Text&)>& fetch_image) {
    Text page = utf8_to_local(txt_from_bin(page_body));
    PageFields f = lookup_read_fields(page);
    // The image request is made as the window makes it: "https:" alone when the page had no image URL.
    ByteSet image = fetch_image(lookup_absolute_url(f.image_url));
    LookupRecord r;
    r.id = cli_utf8(id);
    r.page_url = cli_utf8(lookup_page_url(id));
    r.inquiries = cli_utf8(f.inquiries);
    r.viewers = cli_utf8(f.viewers);
    if (!f.image_url.empty()) r.image_url = cli_utf8(lookup_absolute_url(f.image_url));
    if (!f.detail_url.empty()) r.detail_url = cli_utf8(lookup_absolute_url(f.detail_url));
    r.inquiries_count = cli_count(r.inquiries);
    r.viewers_count = cli_count(r.viewers);
    r.image_bytes = image.size();
    r.image_type = image_type_name(image);
    r.image = image;
    bool found = !f.inquiries.empty() || !f.viewers.empty() || !f.image_url.empty() || !f.detail_url.empty();
    if (page_body.empty())
        r.status = "no response";
    else if (found)
        r.status = "ok";
    else if (page_is_blocked(page))
        r.status = "blocked";
    else
        r.status = "no data";
    return r;
}

LookupRecord cli_lookup(const Text& id) {
    return cli_make_record(id, web_fetch(lookup_page_url(id)), [](const Text& url) { return web_fetch(url); });
}

std::string cli_csv_header() {
    return "id,status,inquiries,viewers,image_url,detail_url,inquiries_count,viewers_count,image_bytes,image_type\r\n";
}

std::string cli_csv_row(const LookupRecord& r) {
    const std::string fields[] = {r.id,
                                  r.status,
                                  r.inquiries,
                                  r.viewers,
                                  r.image_url,
                                  r.detail_url,
                                  count_text(r.inquiries_count),
                                  count_text(r.viewers_count),
                                  std::to_string(r.image_bytes),
                                  r.image_type};
    std::string line;
    for (const auto& f : fields) {
        if (!line.empty() || &f != &fields[0]) line += ',';
        line += csv_field(f);
    }
    return line + "\r\n";
}

std::string cli_json_line(const LookupRecord& r) {
    auto number = [](const std::optional<int64_t>& n) { return n ? std::to_string(*n) : std::string("null"); };
    return "{\"id\":" + json_string(r.id) + ",\"status\":" + json_string(r.status) +
           ",\"inquiries\":" + json_string(r.inquiries) + ",\"viewers\":" + json_string(r.viewers) +
           ",\"image_url\":" + json_string(r.image_url) + ",\"detail_url\":" + json_string(r.detail_url) +
           ",\"inquiries_count\":" + number(r.inquiries_count) + ",\"viewers_count\":" + number(r.viewers_count) +
           ",\"image_bytes\":" + std::to_string(r.image_bytes) + ",\"image_type\":" + json_string(r.image_type) + "}\n";
}

std::string cli_table(const std::vector<LookupRecord>& records) {
    std::vector<std::vector<std::string>> rows = {{"ID", "STATUS", "INQUIRIES", "VIEWERS", "IMAGE", "DETAIL URL"}};
    for (const auto& r : records) {
        std::string image = r.image_type.empty() ? (r.image_bytes ? std::to_string(r.image_bytes) + " B" : "-")
                                                 : r.image_type + " " + std::to_string(r.image_bytes) + " B";
        rows.push_back({r.id, r.status, r.inquiries.empty() ? "-" : r.inquiries, r.viewers.empty() ? "-" : r.viewers,
                        image, r.detail_url.empty() ? "-" : r.detail_url});
    }
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], display_width(row[c]));
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - display_width(row[c]) + 2, ' ');
        }
        out += line + "\n";
    }
    return out;
}

int cli_main(const std::vector<std::string>& args, const std::string& program_version) {
    CliParse parsed = cli_parse_args(args);
    if (!parsed.error.empty()) {
        cli_write(CliStream::err, "xunpan-cli: " + parsed.error + " (see --help)\n");
        return 2;
    }
    const CliOptions& o = parsed.options;
    if (o.help) {
        cli_write(CliStream::out, kUsage);
        return 0;
    }
    if (o.version) {
        cli_write(CliStream::out, "xunpan-cli " + program_version + "\n");
        return 0;
    }
    if (!o.images_dir.empty() && !directory_writable(o.images_dir)) {
        cli_write(CliStream::err, "xunpan-cli: cannot write to the images directory '" + o.images_dir + "'\n");
        return 2;
    }
    std::vector<std::string> ids = o.ids;
    if (ids.empty()) {
        std::string input((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
        ids = cli_ids_from_lines(input);
    }

    // The progress line stands on the terminal while a lookup waits for the network, and is cleared
    // before anything else is written, so records and messages never run into it.
    const bool progress = ids.size() > 1 && cli_is_terminal(CliStream::err);
    bool progress_shown = false;
    auto clear_progress = [&progress_shown] {
        if (progress_shown) cli_write(CliStream::err, "\r\x1b[K");
        progress_shown = false;
    };
    auto message = [&clear_progress](const std::string& line) {
        clear_progress();
        cli_write(CliStream::err, "xunpan-cli: " + line + "\n");
    };

    if (o.format == CliFormat::csv) cli_write(CliStream::out, "\xEF\xBB\xBF" + cli_csv_header());
    std::vector<LookupRecord> records;
    bool all_ok = true;
    for (size_t k = 0; k < ids.size(); ++k) {
        const std::string& raw = ids[k];
        if (k > 0) cli_sleep_ms(std::llround(o.delay_seconds * 1000));
        const Text id = cli_text_from_input(raw);
        const std::string shown = cli_utf8(id);
        if (!all_digits(raw)) message("warning: ID '" + shown + "' is not all digits; looking it up as given");
        if (progress) {
            cli_write(CliStream::err,
                      "\r\x1b[K[" + std::to_string(k + 1) + "/" + std::to_string(ids.size()) + "] " + shown);
            progress_shown = true;
        }
        LookupRecord r = cli_lookup(id);
        if (r.status == "blocked") {
            message(r.id + ": the marketplace answered with a bot check or login page instead of data; open " +
                    r.page_url + " in a browser, pass the check, then try again");
        }
        if (!o.images_dir.empty() && !r.image_type.empty()) {
            auto path = std::filesystem::path(o.images_dir) / (safe_file_stem(r.id) + "." + r.image_type);
            std::ofstream f(path, std::ios::binary);
            f.write(r.image.bytes().data(), static_cast<std::streamsize>(r.image.bytes().size()));
            if (!f) {
                message(r.id + ": could not save the image to " + path.string());
                all_ok = false;
            }
        }
        all_ok = all_ok && r.status == "ok";
        r.image = ByteSet();  // the bytes are saved; the table keeps only what it prints
        if (o.format == CliFormat::table) {
            records.push_back(std::move(r));
            continue;
        }
        clear_progress();
        cli_write(CliStream::out, o.format == CliFormat::csv ? cli_csv_row(r) : cli_json_line(r));
    }
    clear_progress();
    if (o.format == CliFormat::table) cli_write(CliStream::out, cli_table(records));
    return all_ok ? 0 : 1;
}
