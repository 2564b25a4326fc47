#include "platform/HelperProcess.h"

namespace palomix {

std::unique_ptr<HelperProcess> StartHelperProcess(const std::string& /*program*/,
                                                  PostToHost /*post*/,
                                                  HelperProcess::Events /*events*/,
                                                  std::string& failure) {
    // No helper is built for Windows (FFmpeg's libraries are not packaged for it): media is
    // probed with cores\ffprobe.exe there.
    failure = "helper programs are not used on Windows";
    return nullptr;
}

}  // namespace palomix
