// A dialog face for the tests: message boxes answered from a script, and a progress bar that
// behaves like the platform's control (range 0 to 100, step 1, a step at the top stays there).
// Every call is recorded unless record_bar is off (fault matrices keep only the messages).
#ifndef BRG40_TESTS_RECORDING_DIALOG_H
#define BRG40_TESTS_RECORDING_DIALOG_H

#include <string>
#include <vector>

#include "dialog_face.h"

struct ShownMessage {
    unsigned text;
    unsigned caption;
    BoxKind kind;
    bool has_version;
    unsigned major, minor;
    bool operator==(const ShownMessage& o) const {
        return text == o.text && caption == o.caption && kind == o.kind && has_version == o.has_version &&
               major == o.major && minor == o.minor;
    }
};

struct FaceCall {
    enum Kind { Message, Colors, SetPos, GetPos, Step, Text, Redraw, CheckBox };
    FaceCall(Kind k, int v = 0, const char* t = "") : kind(k), value(v), text(t) {}
    Kind kind;
    int value;         // SetPos: requested; GetPos, Step: position after; Message: answer
    std::string text;  // Text
    BarColor colors[3] = {};
};

class RecordingDialog : public DialogFace {
public:
    int ShowMessage(unsigned text_id,
                    unsigned caption_id,
                    BoxKind kind,
                    bool has_version,
                    unsigned major,
                    unsigned minor) override;
    void SetBarColors(BarColor text_on_bar, BarColor text, BarColor bar) override;
    void SetBarPos(int position) override;
    int GetBarPos() override;
    void StepBar() override;
    void SetBarText(const char* text) override;
    void RedrawBar() override;
    bool IsConversionChecked() override;

    // Set up by the test.
    bool checked = false;
    int question_answer = kAnswerYes;  // the answer to a question box
    bool record_bar = true;

    // What the run did.
    std::vector<ShownMessage> messages;
    std::vector<FaceCall> calls;
    int position = 0;
    std::string bar_text;
    int steps_at_top = 0;  // StepIt sent while the bar stood at 100

    // The texts set on the bar, in order.
    std::vector<std::string> texts() const;
    void clear();
};

#endif
