# Values built into the program. A release sets real ones; the defaults are reserved example names.
set(KAVO_SITE_ONE_DOMAIN "video-one.example" CACHE STRING "Page domain of the first site")
set(KAVO_SITE_TWO_DOMAIN "video-two.example" CACHE STRING "Page domain of the second site")
set(KAVO_SITE_ONE_MEDIA_HOST "media.video-one.example" CACHE STRING "Media host of the first site")
set(KAVO_SITE_TWO_MEDIA_HOST "media.video-two.example" CACHE STRING "Media host of the second site")

foreach(var KAVO_SITE_ONE_DOMAIN KAVO_SITE_TWO_DOMAIN KAVO_SITE_ONE_MEDIA_HOST KAVO_SITE_TWO_MEDIA_HOST)
  if(NOT "${${var}}" MATCHES "^[A-Za-z0-9.-]+$")
    message(FATAL_ERROR "${var} must be a plain host name (letters, digits, '-', '.'), not \"${${var}}\"")
  endif()
endforeach()
