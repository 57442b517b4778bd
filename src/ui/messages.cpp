// messages.cpp -- formatted message boxes, system error texts and the three-way question.
#include "ui/messages.h"

#include "install/install_log.h"
#include "resources/ids.h"
#include "script/setup_state.h"

constexpr int messageBufferSize = 1024;
static char errorText[messageBufferSize];

// Whether every conversion of format is a text conversion (%s, with an optional "-", width and
// precision) and there are no more of them than the given texts. Any other conversion (%d, %x,
// %c, %S ...) or one more text would make the formatter read past the given texts.
static bool conversionsFit(const char* format, int given) {
    for (const char* c = format; *c; ++c) {
        if (*c != '%') continue;
        if (*++c == '%') continue;
        if (*c == '-') ++c;
        while ((*c >= '0' && *c <= '9') || *c == '.') ++c;
        if (*c != 's' || --given < 0) return false;
    }
    return true;
}

int showMessage(HWND owner, const char* caption, const char* format, const char* arg1, const char* arg2,
                const char* arg3, UINT style) {
    char text[messageBufferSize];
    const char* shown = format;
    // Formats come from the package: one that asks for other conversions or more texts than this
    // message is given is shown as it stands.
    if (arg1 && conversionsFit(format, arg3 ? 3 : arg2 ? 2 : 1)) {
        // wvsprintf writes at most 1,024 characters; longer texts are cut by the system.
        const char* arguments[3] = {arg1, arg2, arg3};
        wvsprintfA(text, format, reinterpret_cast<va_list>(arguments));
        shown = text;
    }
    // The program may be ended while the box waits: the temporary log is on disk up to here.
    flushLogFile(state.logFile);
    return MessageBoxA(owner, shown, caption, style);
}

const char* systemErrorText(DWORD code) {
    char* systemText = nullptr;
    errorText[0] = 0;
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), reinterpret_cast<LPSTR>(&systemText),
                       0, nullptr) &&
        systemText) {
        lstrcpynA(errorText, systemText, messageBufferSize);
        LocalFree(systemText);
    }
    return errorText;
}

struct QuestionRequest {
    const char* caption;
    const char* question;
};

static INT_PTR onQuestionInit(HWND dialog, const QuestionRequest* request) {
    SetWindowTextA(dialog, request->caption);
    SetDlgItemTextA(dialog, IDC_QUESTION_TEXT, request->question);
    HICON icon = LoadIcon(nullptr, IDI_QUESTION);
    SendDlgItemMessageA(dialog, IDC_QUESTION_ICON, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    return TRUE;
}

static INT_PTR onQuestionCommand(HWND dialog, WORD id) {
    switch (id) {
    case IDOK: EndDialog(dialog, answerYes); break;
    case IDC_YES_TO_ALL: EndDialog(dialog, answerYesToAll); break;
    case IDCANCEL: EndDialog(dialog, answerNo); break;
    }
    return TRUE;
}

static INT_PTR CALLBACK questionProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return onQuestionInit(dialog, reinterpret_cast<const QuestionRequest*>(lParam));
    case WM_COMMAND: return onQuestionCommand(dialog, LOWORD(wParam));
    default: return FALSE;
    }
}

int askQuestion(HWND owner, const char* caption, const char* question) {
    QuestionRequest request = {caption, question};
    flushLogFile(state.logFile);
    return static_cast<int>(DialogBoxParamA(state.instance, MAKEINTRESOURCEA(IDD_QUESTION), owner, questionProcedure,
                                            reinterpret_cast<LPARAM>(&request)));
}
