// A DLL that someone planted: loaded into a process, it writes "plant-loaded.txt" beside itself.
// The stand-in installation program asks for it by its plain name, as programs ask for
// version.dll, so the system looks for it in the program's directory first.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID) {
  if (Reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t Path[MAX_PATH + 32];
  DWORD Length = GetModuleFileNameW(Instance, Path, MAX_PATH);
  while (Length > 0 && Path[Length - 1] != L'\\')
    --Length;
  lstrcpyW(Path + Length, L"plant-loaded.txt");
  const HANDLE File =
      CreateFileW(Path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File != INVALID_HANDLE_VALUE) CloseHandle(File);
  return TRUE;
}
