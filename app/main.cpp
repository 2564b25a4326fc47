// The window program: --help and --version are answered without a window and an unknown option
// is refused (app/WindowOptions.h); otherwise the window runs (app/WindowProgram.h).
#include "app/WindowOptions.h"
#include "app/WindowProgram.h"

int main(int argc, char* argv[]) {
    if (const int answered = palomix::AnswerWindowOptions(argc, argv); answered >= 0) {
        return answered;
    }
    return palomix::RunWindowProgram(argc, argv);
}
