#include "OddNames.h"

namespace palomix::testing {

const std::string kOddSettingsName = "a b 'q' %PATH% ^& $x;\xE6\x97\xA5\xE6\x9C\xAC.ini";
const std::string kOddJobName = "o'dd (x) & [y] %PATH% ^! $x; \xE6\x97\xA5\xE6\x9C\xAC.mpg";

}  // namespace palomix::testing
