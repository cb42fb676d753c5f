#pragma once

#define SNMPCORE_API __attribute__((visibility("default")))
