#!/usr/bin/python3
"""Writes a KeePass XML file of N entries shaped as the test writer's Zendrel entries ("Service 0000000" on,
account "name", password "secret", 200 characters of notes), for keepassxc-cli to import.

  keepass_xml.py N FILE
"""
import base64, sys
n=int(sys.argv[1])
out=open(sys.argv[2],'w')
u=lambda i: base64.b64encode(i.to_bytes(16,'big')).decode()
out.write('<?xml version="1.0" encoding="utf-8" standalone="yes"?>\n<KeePassFile><Meta><Generator>bench</Generator></Meta><Root><Group><UUID>%s</UUID><Name>Root</Name>\n' % u(10**9))
for i in range(n):
    out.write('<Entry><UUID>%s</UUID><String><Key>Title</Key><Value>Service %07d</Value></String>'
              '<String><Key>UserName</Key><Value>name</Value></String>'
              '<String><Key>Password</Key><Value>secret</Value></String>'
              '<String><Key>Notes</Key><Value>%s</Value></String></Entry>\n' % (u(i + 1), i, 'n' * 200))
out.write('</Group></Root></KeePassFile>\n')
