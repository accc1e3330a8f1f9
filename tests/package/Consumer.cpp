// Writes a one-file archive with the writer and reads it back with the component: if this
// builds, links and prints "ok", the installed package is complete.
#include <cstdio>
#include <cstring>
#include <memory>

#include <varn/archive/ArchiveWriter.h>
#include <varn/archive/PendingVolumes.h>
#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/framework/platform/Platform.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string Directory = varn::platform::InternalPath(argv[1]);
  varn::ArchiveWriter Writer;
  varn::ArchiveMember Member;
  Member.Name = "hello.txt";
  Member.FileDate = 45000.5;
  Member.OpenData = [] {
    auto Data = std::make_unique<varn::TMemoryStream>();
    Data->Write("hello", 5);
    Data->SetPosition(0);
    return Data;
  };
  Writer.Members.push_back(Member);
  varn::WriteArchiveFiles(Writer, Directory + "\\setup.1");

  varn::TVarnCompress Archive;
  Archive.SetCompressedFile(Directory + "\\setup.1");
  Archive.ExtractDirectory = Directory + "\\out";
  Archive.FilesToProcess().push_back("hello.txt");
  Archive.Extract();
  varn::TFileStream Out(Directory + "\\out\\hello.txt", varn::TFileMode::fmOpenReadShared);
  char Text[6] = {};
  if (Out.Read(Text, 5) != 5 || std::strcmp(Text, "hello") != 0) return 1;
  std::puts("ok");
  return 0;
}
