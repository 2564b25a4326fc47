#include "OddNames.h"

namespace palomix::testing {

const std::string kOddSettingsName = "a b \"q\" $x;\xE6\x97\xA5\xE6\x9C\xAC.ini";
const std::string kOddJobName = "o'dd $x; \"q\" \xE6\x97\xA5\xE6\x9C\xAC.mpg";

}  // namespace palomix::testing
