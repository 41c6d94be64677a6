#include "environmentimpl.h"

EnvironmentImpl::EnvironmentImpl() = default;
EnvironmentImpl::~EnvironmentImpl() = default;
