// Main window, menu command dispatch and message loop of the workbench.
#include "frame.h"

#include "conversions.h"
#include "list_editing.h"
#include "list_files.h"
#include "list_view.h"
#include "resource.h"
#include "settings.h"

static HINSTANCE Instance;
static HWND Window;

static const int kWindowSize = 400;  // whole window, frame, caption and menu included

HINSTANCE ProgramInstance() { return Instance; }
HWND MainWindow() { return Window; }

bool InitMainWindow(HINSTANCE instance) {
    Instance = instance;
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNCLIENT;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_WORKBENCH));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    windowClass.lpszClassName = kMainWindowClass;
    if (!RegisterClassA(&windowClass)) return false;

    HDC screen = GetDC(nullptr);
    int x = (GetDeviceCaps(screen, HORZRES) - kWindowSize) / 2;
    int y = (GetDeviceCaps(screen, VERTRES) - kWindowSize) / 2;
    ReleaseDC(nullptr, screen);
    Window = CreateWindowExA(0, kMainWindowClass, kMainWindowCaption, WS_CAPTION | WS_SYSMENU, x, y, kWindowSize,
                             kWindowSize, nullptr, nullptr, instance, nullptr);
    return Window != nullptr;
}

void OnCommand(int commandId) {
    switch (commandId) {
    case IDM_OPEN_LIST: OpenListCommand(); break;
    case IDM_SAVE_LIST: SaveListCommand(); break;
    case IDM_EXIT:
        // No question about an unsaved list: it is simply lost.
        DestroyWindow(Window);
        break;
    case IDM_ADD_ENTRY: AddEntryCommand(); break;
    case IDM_DELETE_ENTRY: DeleteEntryCommand(); break;
    case IDM_EDIT_ENTRY: EditEntryCommand(); break;
    case IDM_ADD_FOLDER: AddFolderCommand(); break;
    case IDM_JPG_TO_BMP: SingleConvertCommand(ConversionKind::JpgToBmp); break;
    case IDM_BMP_TO_JPG: SingleConvertCommand(ConversionKind::BmpToJpg); break;
    case IDM_JPG_TO_JPG: SingleConvertCommand(ConversionKind::JpgToJpg); break;
    case IDM_FOLDER_JPG_TO_BMP: FolderConvertCommand(ConversionKind::JpgToBmp); break;
    case IDM_FOLDER_BMP_TO_JPG: FolderConvertCommand(ConversionKind::BmpToJpg); break;
    case IDM_FOLDER_JPG_TO_JPG: FolderConvertCommand(ConversionKind::JpgToJpg); break;
    case IDM_JPEG_SETTINGS: JpegSettingsCommand(); break;
    case IDM_OUTPUT_FOLDER: FolderNameCommand(); break;
    case IDM_HELP: HelpCommand(); break;
    case IDM_VERSION: VersionCommand(); break;
    default: break;
    }
}

static void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintListView(dc);
    EndPaint(window, &paint);
}

static void OnDestroy(HWND window) {
    if (window == Window) Window = nullptr;
    PostQuitMessage(0);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        // Unsigned 16-bit on purpose: a position left of or above the client
        // area becomes a large value that hits nothing.
        OnListClick(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_RBUTTONDOWN:
        ClearSelection();
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_CREATE:
    case WM_QUIT:
    case WM_ACTIVATE:
    case WM_INITMENUPOPUP:
    case WM_QUERYNEWPALETTE:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int RunMessageLoop() {
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&message, nullptr, 0, 0)) return static_cast<int>(message.wParam);
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            WaitMessage();
        }
    }
}
