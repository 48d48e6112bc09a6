# The driver product packages the product scenario installs, built with wixl
# and msibuild from the sources in this folder into NRV_E2E_BUILD/products.
file(GLOB NRV_PRODUCT_PACKAGE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*)
list(FILTER NRV_PRODUCT_PACKAGE_SOURCES EXCLUDE REGEX "\\.cmake$")
set(NRV_PRODUCT_PACKAGES_DIR ${CMAKE_BINARY_DIR}/e2e/products)
add_custom_command(
    OUTPUT ${NRV_PRODUCT_PACKAGES_DIR}/packages.stamp
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/build_packages.sh ${NRV_PRODUCT_PACKAGES_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${NRV_PRODUCT_PACKAGES_DIR}/packages.stamp
    DEPENDS ${NRV_PRODUCT_PACKAGE_SOURCES}
    COMMENT "Building the driver product test packages"
    VERBATIM)
add_custom_target(nrv_product_packages ALL DEPENDS ${NRV_PRODUCT_PACKAGES_DIR}/packages.stamp)
