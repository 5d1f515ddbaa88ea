# Copies the 32-bit build's release files (FROM, its release folder) into the
# 64-bit build's (TO): x86/mrwd.exe, x86/mrwd.exe.debug and the zip named
# ZIP. A file that did not change is left alone, with its time, so that the
# installer and the sums are not built again for nothing.
#   cmake -DFROM=... -DTO=... -DZIP=... -P take_x86_files.cmake
foreach(file x86/mrwd.exe x86/mrwd.exe.debug ${ZIP})
  if(NOT EXISTS ${FROM}/${file})
    message(FATAL_ERROR "${FROM}/${file} is missing: the installer holds both programs, so the 32-bit "
      "build must be built first (MRWD_X86_BUILD names it; scripts/package and scripts/test do both)")
  endif()
  file(MAKE_DIRECTORY ${TO}/x86)
  file(COPY_FILE ${FROM}/${file} ${TO}/${file} ONLY_IF_DIFFERENT)
endforeach()
