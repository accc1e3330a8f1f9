#include <varn/framework/Streams.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <varn/framework/Exceptions.h>

namespace varn {

int64_t TStream::Size() {
  const int64_t Saved = Position();
  const int64_t End = Seek(0, TSeekOrigin::soEnd);
  Seek(Saved, TSeekOrigin::soBeginning);
  return End;
}

void TStream::ReadBuffer(void* Buffer, int32_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError();
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError();
}

namespace {
platform::SeekOrigin ToPlatform(TSeekOrigin Origin) {
  switch (Origin) {
    case TSeekOrigin::soCurrent:
      return platform::SeekOrigin::Current;
    case TSeekOrigin::soEnd:
      return platform::SeekOrigin::End;
    default:
      return platform::SeekOrigin::Beginning;
  }
}
}  // namespace

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode) : FFileName(FileName) {
  if (Mode == TFileMode::fmCreate || Mode == TFileMode::fmCreateNew) {
    FHandle = Mode == TFileMode::fmCreate ? platform::CreateFile(FileName)
                                          : platform::CreateNewFile(FileName);
    if (FHandle == platform::InvalidFileHandle) throw EFCreateError(FileName);
  } else {
    FHandle = platform::OpenFile(FileName);
    if (FHandle == platform::InvalidFileHandle) throw EFOpenError(FileName);
  }
}

TFileStream::~TFileStream() {
  platform::CloseFile(FHandle);
}

int32_t TFileStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  const int32_t Read = platform::ReadFile(FHandle, Buffer, Count);
  if (Read < 0) FReadError = platform::LastErrorCode();
  const int32_t Done = std::max(Read, 0);
  FPosition += Done;
  return Done;
}

int32_t TFileStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  const int32_t Done = std::max(platform::WriteFile(FHandle, Buffer, Count), 0);
  FPosition += Done;
  return Done;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  if (Origin == TSeekOrigin::soCurrent && Offset == 0) return FPosition;
  const int64_t Result = platform::SeekFile(FHandle, Offset, ToPlatform(Origin));
  if (Result >= 0) FPosition = Result;
  return Result;
}

int32_t TFileStream::GetFileDate() const {
  platform::FileTime Universal, Local;
  uint16_t FatDate = 0, FatTime = 0;
  if (!platform::GetFileLastWriteTime(FHandle, Universal)) return -1;
  if (!platform::FileTimeToLocalFileTime(Universal, Local)) return -1;
  if (!platform::FileTimeToDosDateTime(Local, FatDate, FatTime)) return -1;
  return static_cast<int32_t>((static_cast<uint32_t>(FatDate) << 16) | FatTime);
}

bool TFileStream::SetFileDate(int32_t FileDate) {
  const auto Packed = static_cast<uint32_t>(FileDate);
  platform::FileTime Local, Universal;
  return platform::DosDateTimeToFileTime(static_cast<uint16_t>(Packed >> 16),
                                         static_cast<uint16_t>(Packed & 0xFFFF), Local) &&
         platform::LocalFileTimeToFileTime(Local, Universal) &&
         platform::SetFileLastWriteTime(FHandle, Universal);
}

TBufferedFileStream::TBufferedFileStream(const std::string& FileName, TFileMode Mode,
                                         int32_t BufferSize)
    : TFileStream(FileName, Mode),
      FBuffer(
          std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(std::max(BufferSize, 1)))),
      FBufferSize(std::max(BufferSize, 1)) {}

int32_t TBufferedFileStream::Read(void* Buffer, int32_t Count) {
  auto* Target = static_cast<uint8_t*>(Buffer);
  int32_t Done = 0;
  while (Done < Count) {
    if (FBufferPos == FBufferEnd) {
      // A request as large as the buffer needs no copy through it.
      if (Count - Done >= FBufferSize) return Done + TFileStream::Read(Target + Done, Count - Done);
      FBufferPos = 0;
      FBufferEnd = TFileStream::Read(FBuffer.get(), FBufferSize);
      if (FBufferEnd == 0) break;
    }
    const int32_t N = std::min(Count - Done, FBufferEnd - FBufferPos);
    std::memcpy(Target + Done, FBuffer.get() + FBufferPos, static_cast<size_t>(N));
    FBufferPos += N;
    Done += N;
  }
  return Done;
}

int32_t TBufferedFileStream::Write(const void* Buffer, int32_t Count) {
  return DropReadAhead() ? TFileStream::Write(Buffer, Count) : 0;
}

int64_t TBufferedFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  if (Origin == TSeekOrigin::soCurrent && Offset == 0)
    return TFileStream::Seek(0, Origin) - (FBufferEnd - FBufferPos);
  return DropReadAhead() ? TFileStream::Seek(Offset, Origin) : -1;
}

bool TBufferedFileStream::DropReadAhead() {
  // The file stands ahead of this stream by what was read ahead and not handed out.
  const int32_t Ahead = FBufferEnd - FBufferPos;
  if (Ahead != 0 && TFileStream::Seek(-Ahead, TSeekOrigin::soCurrent) < 0) return false;
  FBufferPos = FBufferEnd = 0;
  return true;
}

int32_t TMemoryStream::Read(void* Buffer, int32_t Count) {
  const int64_t Available = static_cast<int64_t>(FBytes.size()) - FPosition;
  if (Count <= 0 || Available <= 0) return 0;
  const auto N = static_cast<int32_t>(std::min<int64_t>(Count, Available));
  std::memcpy(Buffer, FBytes.data() + FPosition, static_cast<size_t>(N));
  FPosition += N;
  return N;
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  const int64_t End = FPosition + Count;
  if (End > static_cast<int64_t>(FBytes.size())) FBytes.resize(static_cast<size_t>(End));
  std::memcpy(FBytes.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = End;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t Base = 0;
  if (Origin == TSeekOrigin::soCurrent) Base = FPosition;
  if (Origin == TSeekOrigin::soEnd) Base = static_cast<int64_t>(FBytes.size());
  if (Offset > 0 && Base > INT64_MAX - Offset) return -1;
  if (Base + Offset < 0) return -1;
  FPosition = Base + Offset;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t Value) {
  FBytes.resize(static_cast<size_t>(std::max<int64_t>(Value, 0)));
  FPosition = std::min<int64_t>(FPosition, static_cast<int64_t>(FBytes.size()));
}

}  // namespace varn
