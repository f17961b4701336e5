#include "compose/charset.h"

namespace {

struct CodePageCharset {
    unsigned codePage;
    const char* charset;
};

// The names the mail client's engine knows for the ANSI code pages of Windows.
const CodePageCharset kCharsets[] = {
    {874, "windows-874"},   {932, "shift_jis"},     {936, "gb2312"},        {949, "ks_c_5601-1987"},
    {950, "big5"},          {1250, "windows-1250"}, {1251, "windows-1251"}, {1252, "windows-1252"},
    {1253, "windows-1253"}, {1254, "windows-1254"}, {1255, "windows-1255"}, {1256, "windows-1256"},
    {1257, "windows-1257"}, {1258, "windows-1258"}, {1361, "johab"},        {20127, "us-ascii"},
    {20866, "koi8-r"},      {21866, "koi8-u"},      {28591, "iso-8859-1"},  {28592, "iso-8859-2"},
    {28595, "iso-8859-5"},  {28597, "iso-8859-7"},  {28599, "iso-8859-9"},  {28605, "iso-8859-15"},
    {51932, "euc-jp"},      {51949, "euc-kr"},      {54936, "gb18030"},     {65001, "utf-8"},
};

}  // namespace

const char* CharsetForCodePage(unsigned codePage) {
    for (const CodePageCharset& entry : kCharsets) {
        if (entry.codePage == codePage) {
            return entry.charset;
        }
    }
    return nullptr;
}
