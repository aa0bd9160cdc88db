# Addresses of the remote services. The defaults point at tools/demo-services on loopback,
# so every feature works offline on one machine; a release build sets the real ones.
set(KESTREL_DEMO_SERVICES "http://127.0.0.1:47801" CACHE STRING "Base address of the demo services")
set(KESTREL_LOBBY_ENDPOINT "${KESTREL_DEMO_SERVICES}/rllobby" CACHE STRING "Default of kzlobby_endpoint")
string(REGEX REPLACE "^https?://" "" kestrel_demo_services_host "${KESTREL_DEMO_SERVICES}")
set(KESTREL_SERVER_LIST_HOST "${kestrel_demo_services_host}" CACHE STRING "Hosting service server list host (host:port)")
set(KESTREL_BOT_CATALOGUE_HOST "${KESTREL_DEMO_SERVICES}" CACHE STRING "Bot catalogue service")
set(KESTREL_SERVER_COMMAND_HOST "${KESTREL_DEMO_SERVICES}" CACHE STRING "Hosted server command service")
set(KESTREL_PROXY_LIST_URL "${KESTREL_DEMO_SERVICES}/proxy" CACHE STRING "Default of rp_server_list_url")
set(KESTREL_PORT_SERVICE_HOST "${KESTREL_DEMO_SERVICES}" CACHE STRING "Port service and tunnel client download")
set(KESTREL_FRPC_SHA256 "" CACHE STRING "SHA-256 (hex) the downloaded tunnel client must have; empty: not checked")
