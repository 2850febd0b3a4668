# Copies the resources beside the binaries, each file whole: a file that did not change is left
# alone, one that did is written under a temporary name and renamed over the old one. A program
# running meanwhile (a test, the window in a browser) never reads half a picture or a string table.
#   cmake -DSOURCE=DIR -DDESTINATION=DIR -P copy_resources.cmake
file(GLOB_RECURSE files RELATIVE "${SOURCE}" "${SOURCE}/*")
foreach(relative IN LISTS files)
  set(from "${SOURCE}/${relative}")
  set(to "${DESTINATION}/${relative}")
  if(EXISTS "${to}" AND NOT IS_SYMLINK "${to}")
    file(SHA256 "${from}" wanted)
    file(SHA256 "${to}" present)
    if(wanted STREQUAL present)
      continue()
    endif()
  endif()
  get_filename_component(directory "${to}" DIRECTORY)
  file(MAKE_DIRECTORY "${directory}")
  file(COPY_FILE "${from}" "${to}.copying")
  file(RENAME "${to}.copying" "${to}")
endforeach()
