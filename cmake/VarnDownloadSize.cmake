# What the Windows build does to keep loader.exe small, and why: the loader is a download, and
# tests/loader checks its stripped size against a budget. README's "The loader's size" says what
# each step saves and costs, measured. And what keeps it reproducible.

if(VARN_PLATFORM STREQUAL "win32")
  # Every function and datum in its own section, so that the linker can drop what a program does
  # not use. Every object also carries GCC's intermediate code beside its machine code, so that
  # loader.exe can be optimized as one whole program at its link; every other program (the tests,
  # varn.exe) links the machine code as it always did.
  add_compile_options(-ffunction-sections -fdata-sections -flto -ffat-lto-objects)
  add_link_options(-fno-lto)

  # GCC's runtime for the win32 thread model, which Debian's MinGW compilers ship beside the
  # posix one that the tests need (GoogleTest uses std::mutex). The project's objects are the
  # same for both models.
  # Reproducible programs, so that a publisher can check what it signs: no link time in the PE
  # header, and no build directory in what is compiled (__FILE__ in a header, say). Nothing
  # embeds a date; GCC would take __DATE__ from SOURCE_DATE_EPOCH.
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)

  find_program(VARN_MINGW_WIN32_GCC ${VARN_MINGW_TRIPLET}-gcc-win32 REQUIRED)
  execute_process(COMMAND ${VARN_MINGW_WIN32_GCC} -print-libgcc-file-name
                  OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  cmake_path(GET libgcc PARENT_PATH VARN_MINGW_WIN32_RUNTIME)
endif()

# varn_download_size(TARGET): the download's link, for loader.exe.
function(varn_download_size target)
  target_link_options(${target} PRIVATE
    # One program, optimized whole: code that nothing calls is gone before the link. The
    # section garbage collection cannot do that alone on Windows, where the link keeps each
    # object's unwind table and with it every function of the object. GCC 12 fails on MinGW
    # with more than one LTO partition.
    -flto -flto-partition=one -Wl,--gc-sections
    # The win32 thread model's runtime: the posix one brings winpthreads for the
    # standard library's own locks, which a program without threads never takes. -no-pthread
    # turns any use of winpthreads into a link error instead.
    -L${VARN_MINGW_WIN32_RUNTIME} -no-pthread
    # No symbols.
    -s)

  # The standard library's throw helpers, defined for this link alone: see the file.
  target_sources(${target} PRIVATE ${VARN_SOURCE_ROOT}/loader/win32/StandardThrows.cpp)

  # The program's own copy of the decoder, built for size; it takes the place of the library's,
  # which every other program (varn.exe, the tests) links as it is. Its group routines return to
  # a loop instead of jumping on to the next group's routine (VARN_SMALL_DECODER). It stays out
  # of LTO, which would optimize it anew with the rest of the program: its machine code stays the
  # one whose speed was measured. On 32-bit Windows its 256 group routines, which call nothing
  # and cannot throw, also go without unwind entries and without frame pointers, which nothing
  # walks there; the functions that call handlers keep their unwind entries. 64-bit Windows
  # keeps its unwind data, which the system itself reads. What each of these costs and saves is
  # in README's "The loader's size".
  set(decoder_options -fno-lto)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND decoder_options -fno-asynchronous-unwind-tables -fno-dwarf2-cfi-asm
         -fomit-frame-pointer)
  endif()
  add_library(${target}_decoder OBJECT ${VARN_SOURCE_ROOT}/varn/archive/cmp_TVarnStreamCompress.cpp)
  target_link_libraries(${target}_decoder PRIVATE varn_framework)
  target_compile_options(${target}_decoder PRIVATE ${decoder_options})
  target_compile_definitions(${target}_decoder PRIVATE VARN_SMALL_DECODER)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:${target}_decoder>)
endfunction()
