@echo off
rem Writes the adapter configuration report that the setup wizard reads on
rem Windows Me to tell whether the PC obtains its address by DHCP.
ipconfig /all > c:\dhcp.txt
