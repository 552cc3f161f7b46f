// Resource ids of the restorer tolvinst.
#pragma once
#define IDI_RESTORER 1
