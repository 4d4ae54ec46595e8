// What the fuzz targets share: an invariant check that aborts (libFuzzer then keeps the input),
// a dialog that answers every question with Yes, and the run's image file.
#ifndef BRG40_TESTS_FUZZ_SUPPORT_H
#define BRG40_TESTS_FUZZ_SUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "dialog_face.h"

inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// A dialog that answers every question with Yes and remembers the first and the last message.
class FuzzDialog : public DialogFace {
public:
    int ShowMessage(unsigned text_id, unsigned, BoxKind kind, bool, unsigned, unsigned) override {
        if (first == 0) {
            first = text_id;
        }
        last = text_id;
        return kind == kBoxQuestion ? kAnswerYes : kAnswerOk;
    }
    void SetBarColors(BarColor, BarColor, BarColor) override {}
    void SetBarPos(int p) override { position = p; }
    int GetBarPos() override { return position; }
    void StepBar() override { ++position; }
    void SetBarText(const char*) override {}
    void RedrawBar() override {}
    bool IsConversionChecked() override { return checked; }

    bool checked = false;
    unsigned first = 0;
    unsigned last = 0;
    int position = 0;
};

// A file for the run to read, one per fuzzing process, removed when the process ends.
struct FuzzFile {
    std::string path;
    explicit FuzzFile(const char* name) : path("/tmp/brg40_fuzz_" + std::to_string(getpid()) + "_" + name) {}
    ~FuzzFile() { std::remove(path.c_str()); }
};

#endif
