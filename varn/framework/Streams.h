#pragma once
// Byte streams: the abstract TStream, TFileStream over the platform layer, TMemoryStream.
// Positions and sizes are 64-bit; Read and Write move at most Count bytes and return how many
// they moved, never throwing; ReadBuffer and WriteBuffer throw when they fall short.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <varn/framework/platform/Platform.h>

namespace varn {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  // Returns the new position, or -1 when the stream cannot move there (it then stays put).
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t Value) { Seek(Value, TSeekOrigin::soBeginning); }
  int64_t Size();

  void ReadBuffer(void* Buffer, int32_t Count);         // EReadError when short
  void WriteBuffer(const void* Buffer, int32_t Count);  // EWriteError when short
};

enum class TFileMode {
  fmOpenReadShared,  // existing file, read only, others may read and write
  fmCreate,          // created afresh (truncated), read and write, not shared; no symlink followed
  fmCreateNew,       // as fmCreate, but only where no entry of that name exists yet
};

class TFileStream : public TStream {
 public:
  // Throws EFOpenError or EFCreateError when the file cannot be opened or created.
  TFileStream(const std::string& FileName, TFileMode Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

  const std::string& FileName() const { return FFileName; }
  platform::FileHandle Handle() const { return FHandle; }
  // The system's code for why the last Read that failed did (platform::ErrorText words it); 0
  // when none has failed. A failed read returns what it had read before, as a read at the end
  // of the file does.
  int32_t ReadError() const { return FReadError; }

  // The last-write time as a packed local date and time (date in the high 16 bits), or -1
  // when it cannot be read or packed.
  int32_t GetFileDate() const;
  // Sets the last-write time from a packed local date and time; false when the platform
  // refuses (a packed value that is no valid date included).
  bool SetFileDate(int32_t FileDate);

 private:
  std::string FFileName;
  platform::FileHandle FHandle;
  // Kept here, so that asking for the position costs no call to the OS (extraction asks once
  // per block).
  int64_t FPosition = 0;
  int32_t FReadError = 0;
};

// A file stream that reads ahead: the file is read in pieces of BufferSize, so reading it in
// small steps costs few calls to the OS. A Seek forgets what was read ahead (asking for the
// position does not); writes go straight to the file, at the position the reader has reached.
class TBufferedFileStream : public TFileStream {
 public:
  TBufferedFileStream(const std::string& FileName, TFileMode Mode, int32_t BufferSize = 65536);

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

 private:
  std::unique_ptr<uint8_t[]> FBuffer;
  int32_t FBufferSize;
  int32_t FBufferPos = 0;  // the next byte to hand out
  int32_t FBufferEnd = 0;  // what the last read from the file placed
  // Sets the file back to this stream's position and forgets what was read ahead.
  bool DropReadAhead();
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> Bytes) : FBytes(std::move(Bytes)) {}

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

  const std::vector<uint8_t>& Bytes() const { return FBytes; }
  void SetSize(int64_t Value);

 private:
  std::vector<uint8_t> FBytes;
  int64_t FPosition = 0;
};

}  // namespace varn
