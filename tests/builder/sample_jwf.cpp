#include "builder/sample_jwf.h"

namespace torvane::test {

std::string SampleJwf() {
  return "# Sample environment file of JW_CAD's DOS edition, made for Torvane.\r\n"
         "# Only the character types and pen colours below are imported.\r\n"
         "#\r\n"
         "# Reference colours of pens 1 to 6, one digit each.\r\n"
         "LCOLLOR = 5 7 4 6 3 1\r\n"
         "# Keys that only the DOS edition reads.\r\n"
         "PAPER = 3\r\n"
         "SCALE = 50\r\n"
         "\r\n"
         "# Character types 1 to 10: pen, width, height, spacing (0.1 mm).\r\n"
         "MPEN = 1 1 2 2 3 3 4 4 5 6\r\n"
         "MWIDE = 20 25 30 35 40 50 60 70 80 100\r\n"
         "MHIGH =\t20\t25\t30\t35\t45\t55\t65\t75\t90\t100\r\n"
         "MDIST = 0 0 5 5 5 5 10 10 10 15\r\n"
         "# The import ends after MDIST: this line is never read.\r\n"
         "LCOLLOR = 1 2 3 4 5 6\r\n"
         "\x1A";
}

}  // namespace torvane::test
