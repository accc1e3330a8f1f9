/* The loader's job as a plain C Windows program, without a window: the yardstick of
 * loader_bench.sh. It reads setup.1 (one volume) in the current directory, decodes every file
 * with 8192-byte reads and writes into the temporary directory, checks each file's SHA-256
 * against the seal with CNG, as the loader does, and starts entry 0 with the medium's directory.
 * Exit code 0 on success. Build: x86_64-w64-mingw32-gcc -O2 plain_loader.c -lbcrypt */
#include <windows.h>
// after windows.h
#include <bcrypt.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

enum { Block = 8192, Record = 164 };

static HANDLE In;
static uint8_t InBuf[Block], OutBuf[Block], Table[32768];

static int32_t Le32(const uint8_t* P) {
  return (int32_t)((uint32_t)P[0] | (uint32_t)P[1] << 8 | (uint32_t)P[2] << 16 |
                   (uint32_t)P[3] << 24);
}

static int ReadAt(int64_t Offset, void* Buf, DWORD Count) {
  LARGE_INTEGER To;
  DWORD Done = 0;
  To.QuadPart = Offset;
  return SetFilePointerEx(In, To, NULL, FILE_BEGIN) && ReadFile(In, Buf, Count, &Done, NULL) &&
         Done == Count;
}

static int Fail(const char* What) {
  fprintf(stderr, "plain_loader: %s\n", What);
  return 1;
}

/* Decodes the data from the current position up to DataEnd (inclusive) into Out, hashing it. */
static int64_t DecodeFile(int64_t Position, int64_t DataEnd, HANDLE Out, BCRYPT_HASH_HANDLE Hash) {
  int32_t InPos = 0, InCount = 0, OutCount = 0;
  int64_t Total = 0;
  uint8_t Last = 0, Second = 0;
  DWORD Done;
  memset(Table, 0, sizeof Table);
  for (;;) {
    if (InPos >= InCount) {
      DWORD Want = Block;
      if (Position > DataEnd) break;
      if (Position + Block > DataEnd) Want = (DWORD)(DataEnd - Position + 1);
      if (!ReadFile(In, InBuf, Want, &Done, NULL) || Done == 0) break;
      Position += Done;
      InCount = (int32_t)Done;
      InPos = 0;
    }
    uint8_t Flag = InBuf[InPos++];
    for (int Bit = 0; Bit < 8; ++Bit) {
      const unsigned Index = ((unsigned)Second << 7) ^ Last;
      uint8_t C;
      if (Flag & (1 << Bit)) {
        C = Table[Index];
      } else {
        if (InPos >= InCount) {
          DWORD Want = Block;
          if (Position > DataEnd) goto End;
          if (Position + Block > DataEnd) Want = (DWORD)(DataEnd - Position + 1);
          if (!ReadFile(In, InBuf, Want, &Done, NULL) || Done == 0) goto End;
          Position += Done;
          InCount = (int32_t)Done;
          InPos = 0;
        }
        C = InBuf[InPos++];
        Table[Index] = C;
      }
      if (OutCount == Block) {
        if (!WriteFile(Out, OutBuf, Block, &Done, NULL) || Done != Block) return -1;
        BCryptHashData(Hash, OutBuf, Block, 0);
        Total += Block;
        OutCount = 0;
      }
      OutBuf[OutCount++] = C;
      Second = Last;
      Last = C;
    }
  }
End:
  if (OutCount) {
    if (!WriteFile(Out, OutBuf, (DWORD)OutCount, &Done, NULL) || Done != (DWORD)OutCount) return -1;
    BCryptHashData(Hash, OutBuf, (ULONG)OutCount, 0);
    Total += OutCount;
  }
  return Total;
}

int main(void) {
  char Medium[MAX_PATH], Temp[MAX_PATH], Target[2 * MAX_PATH], Program[2 * MAX_PATH] = "";
  uint8_t Prologue[5], Header[Record], Digest[32];
  BCRYPT_ALG_HANDLE Algorithm;
  GetCurrentDirectoryA(sizeof Medium, Medium);
  GetTempPathA(sizeof Temp, Temp);
  In = CreateFileA("setup.1", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                   FILE_ATTRIBUTE_NORMAL, NULL);
  if (In == INVALID_HANDLE_VALUE) return Fail("cannot open setup.1");
  if (!ReadAt(0, Prologue, 5)) return Fail("short catalogue");
  const int32_t Count = Le32(Prologue);
  const int64_t Seal = 5 + (int64_t)Record * Count;
  if (BCryptOpenAlgorithmProvider(&Algorithm, BCRYPT_SHA256_ALGORITHM, NULL, 0) != 0)
    return Fail("no SHA-256");
  for (int32_t I = 0; I < Count; ++I) {
    uint8_t Expected[32];
    if (!ReadAt(5 + (int64_t)Record * I, Header, Record)) return Fail("short catalogue");
    if (!ReadAt(Seal + 52 + 32 * (int64_t)I, Expected, 32)) return Fail("no seal");
    char Name[104];
    memcpy(Name, Header + 21, Header[20] > 103 ? 103 : Header[20]);
    Name[Header[20] > 103 ? 103 : Header[20]] = 0;
    snprintf(Target, sizeof Target, "%s%s", Temp, Name);
    if (I == 0) snprintf(Program, sizeof Program, "%s", Target);
    const int64_t DataStart = Le32(Header + 132), DataEnd = Le32(Header + 16);
    HANDLE Out = CreateFileA(Target, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (Out == INVALID_HANDLE_VALUE) return Fail("cannot create a file");
    BCRYPT_HASH_HANDLE Hash;
    BCryptCreateHash(Algorithm, &Hash, NULL, 0, NULL, 0, 0);
    LARGE_INTEGER To;
    To.QuadPart = DataStart;
    SetFilePointerEx(In, To, NULL, FILE_BEGIN);
    if (DecodeFile(DataStart, DataEnd, Out, Hash) != Le32(Header + 128)) return Fail("wrong size");
    BCryptFinishHash(Hash, Digest, 32, 0);
    BCryptDestroyHash(Hash);
    if (memcmp(Digest, Expected, 32) != 0) return Fail("damaged");
    CloseHandle(Out);
  }
  CloseHandle(In);
  char Line[4 * MAX_PATH];
  snprintf(Line, sizeof Line, "\"%s\" \"%s\"", Program, Medium);
  STARTUPINFOA Startup;
  memset(&Startup, 0, sizeof Startup);
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Process;
  if (!CreateProcessA(NULL, Line, NULL, NULL, FALSE, 0, NULL, NULL, &Startup, &Process))
    return Fail("cannot start entry 0");
  CloseHandle(Process.hThread);
  CloseHandle(Process.hProcess);
  return 0;
}
