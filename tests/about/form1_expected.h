#pragma once
// Form1 as the tests expect it, written out apart from the form's own code.

namespace qtv::testing {

inline constexpr char kTitle[] = "QTV Checksum OCX 1.0.0";
inline constexpr char kDescription[] = "ActiveX OCX to compute very fast the checksum of strings or files "
                                       "using Adler32 , CRC32 , MD5 , SHA-1 and "
                                       "SHA-256 , the code is optimized for new AMD and Intel processors and "
                                       "the checksum code is loaded dynamically "
                                       "in the same address space of the application unsing the control \r\n";
static_assert(sizeof kDescription - 1 == 281);

// In tab order; twips; font size in hundredths of a point (the form's own font is MS Sans Serif 8.25 pt).
struct ExpectedControl {
  const char* name;
  const char* text;
  int left, top, width, height;
  int centipoints;
  bool underline;
};
inline constexpr ExpectedControl kForm1[] = {
    {"Text1", kDescription, 480, 1680, 3855, 1335, 825, false},
    {"Label1", "QTV Software", 480, 240, 3855, 375, 1350, false},
    {"Label2", "https://www.example.com/qtv/", 1320, 720, 3015, 255, 825, true},
    {"Label4", "support@example.com", 1320, 960, 3255, 255, 825, true},
    {"Command1", "Exit", 3000, 3120, 1335, 375, 825, false},
};
enum : int { kText1, kLabel1, kLabel2, kLabel4, kCommand1 };
inline constexpr int kClientWidth = 4815;
inline constexpr int kClientHeight = 3660;

// What a click on Label2 and then on Label4 opens.
inline constexpr const char* kOpened[] = {"https://www.example.com/qtv/", "mailto:support@example.com"};

} // namespace qtv::testing
