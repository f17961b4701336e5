// The feed settings file: sections keyed by folder id (what the user set up for the folder, and
// what its refreshes learnt), and [Options] for the plug-in as a whole, read and written at the
// moment a value is needed. Nothing is cached; every call is one call of the platform's profile
// functions on SettingsFilePath, which keep each call consistent across threads.
#pragma once

#include <cstddef>

#include "base/capacities.h"

// The sections keyed by folder id.
extern const char kFeedsSection[];           // the feed URL; empty: not a feed folder
extern const char kStylesSection[];          // the stylesheet's file name; empty: default.css
extern const char kClickRefreshSection[];    // minutes between refreshes on opening
extern const char kAutoRefreshSection[];     // minutes between refreshes by the minute timer
extern const char kLastUpdateTimeSection[];  // when the last scheduled refresh started
// What the feed's server said of it, kept for the triggers: the address that answered "gone"
// (410), and the time until which it asked to be left alone (429 or 503 with Retry-After).
extern const char kGoneSection[];
extern const char kHeldUntilSection[];
// The validators of the folder's last whole answer, each written after the address that gave it
// and a blank ("https://host/feed \"abc\""), so that a changed address sends neither.
extern const char kETagSection[];
extern const char kLastModifiedSection[];
// How the folder's refreshes fare ([Health]: the failures in a row, since when, whether the folder
// was told, the last outcome in words), when the publisher would have it asked for again
// ([Hints]), and the User-Agent it names for a site that refuses the plug-in's ([UserAgent]).
extern const char kHealthSection[];
extern const char kHintsSection[];
extern const char kUserAgentSection[];
// Whether the folder's Basic login may be sent over plain http, where anyone on the way can read
// it ([PlainLogin], "1" allows it).
extern const char kPlainLoginSection[];
// Whether new items of the folder are read in full: the article their link names fetched and kept
// in the message ([FullText]: "off" or absent, "short" for items whose text is short, "always"),
// and the CSS selector of the article in the page, when the folder gives one ([FullTextSelector]).
extern const char kFullTextSection[];
extern const char kFullTextSelectorSection[];
// Every section keyed by folder id, in the order a vanished folder's entries are removed.
extern const char* const kFolderSections[];
extern const size_t kFolderSectionCount;

// Values of the plug-in as a whole, by name rather than by folder.
extern const char kOptionsSection[];
// [Options] Proxy: the proxy every request goes through ("host:port"), "none" for none; absent
// or empty, the one the system names.
extern const char kProxyOption[];
// The hosts that asked to be left alone, by host name (in small letters): until when.
extern const char kHostHoldsSection[];

// Whether the triggers leave the folder alone now: its address answered "gone" (until the address
// is changed in the set-up dialog), or its host asked for a pause that has not ended at `now`.
bool IsRefreshHeld(const char* folderId, const char* url, unsigned now);

// The longest pause a server may ask for, in seconds: a week.
constexpr unsigned kLongestHoldSeconds = 7u * 24u * 3600u;

// The shortest refresh intervals, in minutes: the triggers raise a smaller, absent or negative
// value to these, and the set-up dialog refuses less.
constexpr int kMinimumClickRefreshMinutes = 1;
constexpr int kMinimumAutoRefreshMinutes = 20;

// Reads a value, default "", cut to capacity - 1 characters and always terminated. Returns the
// number of characters read.
size_t ReadSetting(const char* section, const char* folderId, char* out, size_t capacity);

// Reads the number a value's text begins with (sign and decimal digits); 0 when the key is
// absent or the text does not begin with a number.
int ReadSettingInt(const char* section, const char* folderId);

// Reads a value as an unsigned 32-bit number, 0 when absent.
unsigned ReadSettingUnsigned(const char* section, const char* folderId);

// True when `text` may be written to the settings file: it holds no control character (below
// 0x20, or 0x7F). A line break in a value or a key would start lines, sections and keys of its
// own when the file is read back.
bool IsSettingText(const char* text);

// Writes a value, creating the file, the section and the key as needed. Returns false when the
// key or the value is not setting text (nothing is written then) or the platform could not
// write the file (read-only, full, a directory in its place): the next reader sees the old value
// or the default.
[[nodiscard]] bool WriteSetting(const char* section, const char* folderId, const char* value);
[[nodiscard]] bool WriteSettingUnsigned(const char* section, const char* folderId, unsigned value);

// Removes a folder's entry from one section; false when the file could not be written.
[[nodiscard]] bool DeleteSetting(const char* section, const char* folderId);
// Removes the entries of `count` folders from one section, writing the file once; false when it
// could not be written.
[[nodiscard]] bool DeleteSettings(const char* section, const char* const* folderIds, size_t count);

// Lists the keys of a section as consecutive terminated names followed by one more terminator.
// Returns the count of characters copied without the final terminator; when the names do not fit,
// the last is cut, followed by two terminators, and the count is capacity - 2.
size_t ReadSettingKeys(const char* section, char* out, size_t capacity);

// Reads the folder's feed URL into `url` and says whether the folder is a feed folder (its URL is
// not empty). Every component applies this one test.
bool ReadFeedUrl(const char* folderId, char* url, size_t capacity);
