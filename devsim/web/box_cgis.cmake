# The box CGIs check the credential forms the client builds.
target_link_libraries(devsim_web PUBLIC zelt_cryptocore)
