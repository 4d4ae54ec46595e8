// The recording dialog face of the tests.
#include "recording_dialog.h"

#include <algorithm>

int RecordingDialog::ShowMessage(unsigned text_id,
                                 unsigned caption_id,
                                 BoxKind kind,
                                 bool has_version,
                                 unsigned major,
                                 unsigned minor) {
    messages.push_back({text_id, caption_id, kind, has_version, major, minor});
    const int answer = kind == kBoxQuestion ? question_answer : kAnswerOk;
    if (record_bar) {
        calls.emplace_back(FaceCall::Message, answer);
    }
    return answer;
}

void RecordingDialog::SetBarColors(BarColor text_on_bar, BarColor text, BarColor bar) {
    if (record_bar) {
        FaceCall call(FaceCall::Colors);
        call.colors[0] = text_on_bar;
        call.colors[1] = text;
        call.colors[2] = bar;
        calls.push_back(call);
    }
}

void RecordingDialog::SetBarPos(int value) {
    position = std::clamp(value, 0, 100);
    if (record_bar) {
        calls.emplace_back(FaceCall::SetPos, value);
    }
}

int RecordingDialog::GetBarPos() {
    if (record_bar) {
        calls.emplace_back(FaceCall::GetPos, position);
    }
    return position;
}

void RecordingDialog::StepBar() {
    if (position == 100) {
        ++steps_at_top;
    }
    position = std::min(position + 1, 100);
    if (record_bar) {
        calls.emplace_back(FaceCall::Step, position);
    }
}

void RecordingDialog::SetBarText(const char* text) {
    bar_text = text;
    if (record_bar) {
        calls.emplace_back(FaceCall::Text, position, text);
    }
}

void RecordingDialog::RedrawBar() {
    if (record_bar) {
        calls.emplace_back(FaceCall::Redraw, position);
    }
}

bool RecordingDialog::IsConversionChecked() {
    if (record_bar) {
        calls.emplace_back(FaceCall::CheckBox, checked ? 1 : 0);
    }
    return checked;
}

std::vector<std::string> RecordingDialog::texts() const {
    std::vector<std::string> out;
    for (const auto& c : calls) {
        if (c.kind == FaceCall::Text) {
            out.push_back(c.text);
        }
    }
    return out;
}

void RecordingDialog::clear() {
    messages.clear();
    calls.clear();
    steps_at_top = 0;
}
