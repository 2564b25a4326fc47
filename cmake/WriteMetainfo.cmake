# Writes the AppStream description from its template, filling in the project's web site and
# the address the pictures of docs/ are served from. Each is an element of its own in the
# template (<url type="homepage">, <screenshots>); one whose address is empty is left out, as a
# software centre would show an address that leads nowhere as a broken link or picture.
# Addresses are escaped for XML.
#
# Included by DesktopIntegration.cmake, or run as a script (the packaging test writes it with
# and without addresses):
#   cmake -DTEMPLATE=... -DOUTPUT=... -DWEB_SITE=... -DSCREENSHOTS_URL=... -P WriteMetainfo.cmake

function(palomix_xml_escaped out value)
    string(REPLACE "&" "&amp;" value "${value}")
    string(REPLACE "<" "&lt;" value "${value}")
    string(REPLACE ">" "&gt;" value "${value}")
    string(REPLACE "\"" "&quot;" value "${value}")
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

function(palomix_write_metainfo template output web_site screenshots_url)
    file(READ "${template}" text)
    if(web_site STREQUAL "")
        string(REGEX REPLACE "\n *<url type=\"homepage\">@PALOMIX_WEB_SITE@</url>" "" text
                             "${text}")
    endif()
    if(screenshots_url STREQUAL "")
        string(REGEX REPLACE "\n *<screenshots>.*</screenshots>" "" text "${text}")
    endif()
    # The pictures' names are appended with a slash of their own.
    string(REGEX REPLACE "/+$" "" screenshots_url "${screenshots_url}")
    palomix_xml_escaped(PALOMIX_WEB_SITE "${web_site}")
    palomix_xml_escaped(PALOMIX_SCREENSHOTS_URL "${screenshots_url}")
    string(CONFIGURE "${text}" text @ONLY)
    if(text MATCHES "@PALOMIX_[A-Z_]*@")
        message(FATAL_ERROR "${template}: ${CMAKE_MATCH_0} is not filled in")
    endif()
    # Written only when it changes, so that configuring again does not make it new.
    if(EXISTS "${output}")
        file(READ "${output}" old)
        if(old STREQUAL text)
            return()
        endif()
    endif()
    file(WRITE "${output}" "${text}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    palomix_write_metainfo("${TEMPLATE}" "${OUTPUT}" "${WEB_SITE}" "${SCREENSHOTS_URL}")
endif()
